' Velcastra from VBScript, as a script client meets it: every member of the three classes, values
' passed by value and as variables, the default member, the missing enumerator and the error
' numbers. Prints "N passed, N failed" and quits with the failure count.

' Wine's VBScript continues into an If block when its condition raises, so every value is read
' into a variable before it is tested.
Function ErrorOf(number)
    ErrorOf = number
End Function

' Spooler starts and stops quickly; WScript.Sleep returns at once under Wine, so the wait is a
' bounded loop of refreshes.
Function WaitForState(service, state)
    Dim attempt, refreshed
    WaitForState = False
    For attempt = 1 To 400
        refreshed = service.Refresh
        If service.CurrentState = state Then
            WaitForState = True
            Exit Function
        End If
    Next
End Function

' An object whose value, when asked for, is 2; an index does not ask.
Class ValueTwo
    Public Default Property Get Value
        Value = 2
    End Property
End Class

Dim shell, computer
Set shell = CreateObject("WScript.Shell")
computer = shell.Environment("PROCESS")("COMPUTERNAME")

' --- clsServices -----------------------------------------------------------------------------
Dim services, total, i, service, name, sameByName, sameByPosition, allFound
Set services = CreateObject("Velcastra.clsServices")
total = services.Count
Check total > 0, "a new collection lists services"
Check services.ComputerName = computer, "ComputerName is this computer: " & services.ComputerName
Check services.ServicesEnumType = 0, "type filter starts at Win32 services"
Check services.ServicesEnumState = 2, "state filter starts at both"

allFound = True
For i = 1 To total
    Set service = services.Item(i)
    name = service.Name
    sameByName = services.Item(name) Is service
    sameByPosition = services(i) Is service
    If Len(name) = 0 Or Not sameByName Or Not sameByPosition Then
        allFound = False
        WScript.Echo "FAIL: item " & i & " '" & name & "'"
    End If
Next
Check allFound, "every position and every name finds the same object"
Check services(1) Is services.Item(1), "services(1) is the default member Item"
Check services.Item(UCase(services(1).Name)) Is services(1), "keys ignore letter case"
Check services.Item(1.5) Is services.Item(2), "1.5 rounds to even 2"
Check services.Item(0) Is Nothing, "position 0 finds nothing"
Check services.Item(total + 1) Is Nothing, "a position past the end finds nothing"
Check services.Item("No Such Service") Is Nothing, "an unknown name finds nothing"
Check services.Item("1") Is Nothing, "a text is a key, not a position"
Check services.Item(Empty) Is Nothing, "an empty index finds nothing"

' Every kind of index a script can pass, as a literal and as a variable (VT_BYREF|VT_VARIANT).
Dim index, holder
index = 2.5
Check services.Item(index) Is services.Item(2), "a variable 2.5 rounds to even 2"
index = "2"
Check services.Item(index) Is Nothing, "a variable text that reads as a number is a key"
index = CCur(1.5)
Check services.Item(index) Is services.Item(2), "a Currency 1.5 rounds to even 2"
Check services.Item(CByte(1)) Is services.Item(1), "a Byte selects by position"
Check services.Item(CDate(2)) Is services.Item(2), "a Date selects by its day number"
Check services.Item(Null) Is Nothing, "a Null index finds nothing"
Check services.Item(True) Is Nothing, "True (-1) finds nothing"
Check services.Item(False) Is Nothing, "False (0) finds nothing"
Check services.Item(-1) Is Nothing, "a negative position finds nothing"
Check services.Item(1E+10) Is Nothing, "a position beyond 32 bits finds nothing"
Set holder = New ValueTwo
Check services.Item(holder) Is Nothing, "an object whose default value is 2 finds nothing"
Check services.Delete(Null) = False, "Delete(Null) returns False"
Check services.Delete(True) = False, "Delete(True) returns False"
Check services.Delete(1E+10) = False, "Delete of a position beyond 32 bits returns False"

Dim active, inactive, drivers, allDrivers, kind
services.ServicesEnumState = 0
active = services.Count
services.ServicesEnumState = 1
inactive = services.Count
services.ServicesEnumState = 2
Check services.ServicesEnumState = 2, "the state filter reads back"
Check active + inactive = total, "active " & active & " + inactive " & inactive & " = " & total
Check services.Count = total, "back to both states"

services.ServicesEnumType = 1
Check services.ServicesEnumType = 1, "the type filter reads back"
drivers = services.Count
allDrivers = True
For i = 1 To drivers
    kind = services(i).ServiceType
    If (kind And &H30) <> 0 Then allDrivers = False
Next
Check drivers > 0 And allDrivers, "the driver filter lists drivers only (" & drivers & ")"
services.ServicesEnumType = "0"
Check services.ServicesEnumType = 0, "a text that reads as a number sets the filter"
Check services.Count = total, "back to Win32 services"

Dim spacedName
spacedName = "  " & computer & "  "
services.ComputerName = spacedName
Check services.ComputerName = computer, "ComputerName is stored without its spaces"
Check spacedName = "  " & computer & "  ", "the caller's variable is not written"
Check services.Count = total, "the same computer lists the same services"
Check services.Refresh = True, "Refresh returns True"

' Delete: a service made for the purpose, through the platform's own tool.
Dim created, deleted
created = shell.Run("sc create TobrunelScriptSuite binPath= C:\windows\system32\notepad.exe", 0, True)
Check created = 0, "sc create made the test service"
services.Refresh
Check Not services("TobrunelScriptSuite") Is Nothing, "the new service is listed"
deleted = services.Delete("tobrunelscriptsuite")
Check deleted = True, "Delete removes the service by name"
Check services("TobrunelScriptSuite") Is Nothing, "the deleted service is no longer listed"
Check services.Delete("TobrunelScriptSuite") = False, "deleting it again returns False"
Check services.Delete(0) = False, "Delete(0) returns False"

' --- clsService ------------------------------------------------------------------------------
Dim spooler, serviceName, displayName
Set spooler = CreateObject("Velcastra.clsService")
Check spooler.Name = "", "a new service has no name"
Check spooler.DisplayName = "", "a new service has no display name"
Check spooler.ComputerName = "", "a new service has no computer"
Check spooler.CurrentState = 0, "a new service reads state 0"
Check spooler.Dependencies.Count = 0, "a new service has no dependencies"

spooler.ComputerName = " " & computer & " "
Check spooler.ComputerName = computer, "the service's computer is stored without its spaces"
serviceName = " Spooler "
spooler.Name = serviceName
Check serviceName = " Spooler ", "Name does not write the caller's variable"
Check spooler.Name = "Spooler", "Name is stored without its spaces"
displayName = spooler.DisplayName
Check Len(displayName) > 0, "Name looks up the display name"
spooler.Name = ""
spooler.DisplayName = displayName
Check StrComp(spooler.Name, "Spooler", vbTextCompare) = 0, "DisplayName looks up the name"

Check InStr(1, spooler.BinaryPathName, "spoolsv", vbTextCompare) > 0, "BinaryPathName"
Check spooler.StartName = "LocalSystem", "StartName"
Check InStr(spooler.LoadOrderGroup, Chr(0)) = 0, "LoadOrderGroup is cut at its NUL"
Check spooler.TagID = 0, "TagID"
Check spooler.StartType >= 0 And spooler.StartType <= 4, "StartType"
Check spooler.StartErrorSeverity >= 0 And spooler.StartErrorSeverity <= 3, "StartErrorSeverity"
Check 0 <> (spooler.ServiceType And &H30), "ServiceType is a Win32 type"
Check spooler.Win32ExitCode >= 0, "Win32ExitCode"
Check spooler.ServiceSpecificExitCode = 0, "ServiceSpecificExitCode"
Check spooler.WaitHint >= 0, "WaitHint"
Check spooler.CheckPoint >= 0, "CheckPoint"
Check spooler.ControlsAccepted >= 0, "ControlsAccepted"
Check spooler.Refresh = True, "Refresh returns True"

' Commands, and CurrentState as a command. Spooler starts stopped in a new prefix.
If spooler.CurrentState = 1 Then
    Check spooler.PauseService = False, "a stopped service does not pause"
    Check spooler.ContinueService = False, "a stopped service does not continue"
    Check spooler.StartService = True, "StartService"
    Check WaitForState(spooler, 4), "Spooler runs"
    Check spooler.PauseService = False, "Spooler accepts no pause"
    Check spooler.StopService = True, "StopService"
    Check WaitForState(spooler, 1), "Spooler stops"
    Dim wanted
    wanted = 4
    spooler.CurrentState = wanted
    Check WaitForState(spooler, 4), "CurrentState = Running starts the service"
    spooler.CurrentState = 1
    Check WaitForState(spooler, 1), "CurrentState = Stopped stops the service"
Else
    WScript.Echo "NOTE: Spooler is not stopped; the commands are not exercised"
End If

spooler.Name = "Tobrunel-No-Such-Service"
Check spooler.Name = "", "an unknown name clears the service"
Check spooler.DisplayName = "", "an unknown name clears the display name"

' --- clsSVCDependencies ----------------------------------------------------------------------
Dim service2, list, source, item
Set service2 = CreateObject("Velcastra.clsService")
Set list = service2.Dependencies
Check list Is service2.Dependencies, "Dependencies is one object until a refresh"
Check list.Source = "", "an empty list has the empty Source"
list.Add "RpcSs"
item = "LanmanServer"
list.Add item
list.Add 42
Check list.Count = 3, "Add appends"
Check list.Item(1) = "RpcSs", "Item(1)"
Check list(2) = "LanmanServer", "list(2) is the default member Item"
Check list(3) = "42", "a number is added as its text"
Check list(4) = "", "a position past the end reads the empty text"
Check list(0) = "", "position 0 reads the empty text"
source = list.Source
Check Len(source) = 23, "Source is the names, each ended by a NUL, closed by a NUL: " & Len(source)
Check Asc(Mid(source, 6, 1)) = 0 And Asc(Mid(source, 23, 1)) = 0, "Source holds the NULs"
Check list.Remove(1) = True, "Remove(1) removes"
Check list(1) = "LanmanServer", "later items move up"
Check list.Remove(5) = False, "Remove past the end returns False"
list.Source = "A" & Chr(0) & "B" & Chr(0) & Chr(0)
Check list.Count = 2, "Source replaces the list"
Check list(2) = "B", "Source reads the names in order"
i = 1
Check list(i) = "A", "a variable index"

' --- enumerators and errors --------------------------------------------------------------------
Dim number, entry
On Error Resume Next
For Each entry In services
Next
number = ErrorOf(Err.Number)
Err.Clear
On Error GoTo 0
Check number <> 0, "For Each over the collection fails: it has no enumerator"

On Error Resume Next
For Each entry In list
Next
number = ErrorOf(Err.Number)
Err.Clear
On Error GoTo 0
Check number <> 0, "For Each over a dependency list fails"

On Error Resume Next
services.ServicesEnumType = "not a number"
number = ErrorOf(Err.Number)
Err.Clear
On Error GoTo 0
Check number = 13, "a text that is no number is a type mismatch (13): " & number

On Error Resume Next
item = list.Item(holder)
number = ErrorOf(Err.Number)
Err.Clear
On Error GoTo 0
Check number = 13, "an object as lIndex is a type mismatch (13), not its default value: " & number

On Error Resume Next
spooler.NoSuchMember
number = ErrorOf(Err.Number)
Err.Clear
On Error GoTo 0
Check number = 438, "an unknown member is error 438: " & number

On Error Resume Next
Set entry = services.Item(1, 2)
number = ErrorOf(Err.Number)
Err.Clear
On Error GoTo 0
Check number = 450, "too many arguments is error 450: " & number

WScript.Echo passed & " passed, " & failed & " failed"
WScript.Quit failed
