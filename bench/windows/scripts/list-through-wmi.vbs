' Lists name, state and start type of every service through WMI's Win32_Service, the peer of
' list-through-dll.vbs. The last line says how many were listed, so a silent failure shows.
Option Explicit
Dim wmi, found, service, listing, listed
Set wmi = CreateObject("WbemScripting.SWbemLocator").ConnectServer(".", "root\cimv2")
Set found = wmi.ExecQuery("select * from Win32_Service")
listing = ""
listed = 0
For Each service In found
    listing = listing & service.Name & vbTab & service.State & vbTab & service.StartMode & vbCrLf
    listed = listed + 1
Next
WScript.Echo "listed " & listed
