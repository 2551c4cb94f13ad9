' Run against TobrunelSimulated.dll with TOBRUNEL_SIMULATED_FAULT=service-names-on-refresh: the
' collection is created with its two services, and its next Refresh meets a duplicate key, which
' must reach VBScript as Err.Number 457.

Dim services, number, source, description, refreshed, count
Set services = CreateObject("Velcastra.clsServices")
Check services.Count = 2, "the collection starts with both services"

On Error Resume Next
refreshed = services.Refresh
number = Err.Number
source = Err.Source
description = Err.Description
Err.Clear
On Error GoTo 0
Check number = 457, "Refresh raises error 457: " & number
Check source = "Velcastra.clsServices", "the error names its source: " & source
Check description = "This key is already associated with an element of this collection", _
      "the error's description: " & description
count = services.Count
Check count = 1, "the list keeps the service added before the duplicate: " & count

WScript.Echo passed & " passed, " & failed & " failed"
WScript.Quit failed
