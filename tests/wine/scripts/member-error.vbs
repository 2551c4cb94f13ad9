' Run against TobrunelSimulated.dll with TOBRUNEL_SIMULATED_FAULT=binary-path: every refresh of a
' service raises automation error 5, which must reach VBScript as Err.Number 5 with the source
' and description of the component.

Dim service, number, source, description, refreshed
Set service = CreateObject("Velcastra.clsService")

On Error Resume Next
service.Name = "Alpha"
number = Err.Number
source = Err.Source
description = Err.Description
Err.Clear
On Error GoTo 0
Check number = 5, "the Name setter raises error 5: " & number
Check source = "Velcastra.clsService", "the error names its source: " & source
Check description = "Invalid procedure call or argument", "the error's description: " & description

On Error Resume Next
refreshed = service.Refresh
number = Err.Number
Err.Clear
On Error GoTo 0
Check number = 5, "Refresh raises error 5: " & number

WScript.Echo passed & " passed, " & failed & " failed"
WScript.Quit failed
