' Does nothing: its run time is what starting cscript costs.
