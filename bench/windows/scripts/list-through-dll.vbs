' Lists name, state and start type of every service through Tobrunel.dll; the peer script does
' the same through WMI. The last line says how many were listed, so a silent failure shows.
Option Explicit
Dim services, service, listing, i
Set services = CreateObject("Velcastra.clsServices")
listing = ""
For i = 1 To services.Count
    Set service = services.Item(i)
    listing = listing & service.Name & vbTab & service.CurrentState & vbTab & service.StartType & vbCrLf
Next
WScript.Echo "listed " & services.Count
