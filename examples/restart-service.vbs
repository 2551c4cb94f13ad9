' restart-service.vbs: stops a service, waits until it has stopped, starts it and waits until it
' runs, reporting each step. Register Tobrunel.dll first: regsvr32 Tobrunel.dll
'
'   cscript //nologo restart-service.vbs NAME [SECONDS]
'
'   NAME      the service's (key) name, as in "sc query NAME"
'   SECONDS   how long each of the two waits may take at most; 30 when left out
'
' Each wait is wait-for-state.vbs, which must stand in the same folder. A service that does not
' accept a stop request now is refused, not forced. Stopping and starting need an administrator's
' rights.
' Exit code: 0 restarted, 1 refused, failed or timed out, 2 bad usage.
Option Explicit

Const DEFAULT_SECONDS = 30
Const STOPPED = 1
Const RUNNING = 4
Const ACCEPT_STOP = 1

Dim stateNames
stateNames = Array("Stopped", "Start Pending", "Stop Pending", "Running", "Continue Pending", _
                   "Pause Pending", "Paused")

Function StateName(state)
    If state >= 1 And state <= 7 Then
        StateName = stateNames(state - 1)
    Else
        StateName = "state " & state
    End If
End Function

' SecondsSince reads the clock; Timer restarts at midnight.
Function SecondsSince(started)
    SecondsSince = Timer - started
    If SecondsSince < 0 Then SecondsSince = SecondsSince + 86400
End Function

' WaitFor runs wait-for-state.vbs from this script's folder until the service is in state
' `wanted`, and returns "" when it got there, else what that script said of why it stopped
' waiting. Its output goes through a file, since a script started by another cannot print to the
' same console everywhere. Some hosts end a failing script silently with exit code 0, so only the
' line that says the state was reached counts as success.
Function WaitFor(wanted)
    Dim files, script, output, status, said
    Set files = CreateObject("Scripting.FileSystemObject")
    script = files.BuildPath(files.GetParentFolderName(WScript.ScriptFullName), "wait-for-state.vbs")
    If Not files.FileExists(script) Then
        WaitFor = "cannot wait: " & script & " is missing"
        Exit Function
    End If
    output = files.BuildPath(files.GetSpecialFolder(2), files.GetTempName())
    status = CreateObject("WScript.Shell").Run("%ComSpec% /c cscript //nologo """ & script & _
             """ """ & name & """ " & wanted & " " & seconds & " >""" & output & """ 2>&1", 0, True)
    said = ""
    If files.FileExists(output) Then
        If files.GetFile(output).Size > 0 Then said = files.OpenTextFile(output).ReadAll()
        files.DeleteFile output
    End If
    said = Trim(Replace(Replace(said, vbCr, ""), vbLf, " "))
    If status = 0 And said = name & " is " & StateName(wanted) & "." Then
        WaitFor = ""
    ElseIf said = "" Then
        WaitFor = "wait-for-state.vbs ended with exit code " & status & " and said nothing"
    Else
        WaitFor = said
    End If
End Function

' --- arguments -------------------------------------------------------------------------------
Sub Usage(problem)
    WScript.Echo problem
    WScript.Echo "usage: cscript //nologo restart-service.vbs NAME [SECONDS]"
    WScript.Echo "  SECONDS: how long each wait may take at most (default " & DEFAULT_SECONDS & ")"
    WScript.Quit 2
End Sub

Dim arguments, name, seconds
Set arguments = WScript.Arguments
If arguments.Count < 1 Or arguments.Count > 2 Then Usage "Wrong number of arguments."
name = arguments(0)
seconds = DEFAULT_SECONDS
If arguments.Count = 2 Then
    seconds = arguments(1)
    If Not IsNumeric(seconds) Then Usage "Not a number of seconds: " & seconds
    seconds = CDbl(seconds)
    ' The clock is read as time of day, so a wait must end within a day.
    If seconds <= 0 Or seconds >= 86400 Then Usage "Seconds must be above 0 and below 86400."
End If

' --- the restart -----------------------------------------------------------------------------
Dim service, createError
On Error Resume Next
Set service = CreateObject("Velcastra.clsService")
createError = Err.Number
On Error GoTo 0
If createError <> 0 Then
    WScript.Echo "Velcastra.clsService cannot be created (error " & createError & "); " & _
                 "register the component first: regsvr32 Tobrunel.dll"
    WScript.Quit 1
End If

service.Name = name
If service.Name = "" Then
    WScript.Echo "No service named " & name & " on this computer."
    WScript.Quit 1
End If

' Fail prints why a step failed and ends the script with exit code 1.
Sub Fail(reason)
    WScript.Echo reason
    WScript.Quit 1
End Sub

' Step sends one request (the result of StartService or StopService), then waits for its state.
Sub Step(verb, accepted, wanted)
    Dim started, reason
    If Not accepted Then
        Fail verb & " " & name & ": the request was not taken (no rights, or not possible " & _
             "in state " & StateName(service.CurrentState) & ")."
    End If
    WScript.Echo verb & " " & name & ": request taken, waiting for " & StateName(wanted) & "."
    started = Timer
    reason = WaitFor(wanted)
    If reason <> "" Then Fail verb & " " & name & ": " & reason
    ' The commands check the state that the object read last, which the wait did not change.
    service.Refresh
    WScript.Echo name & " is " & StateName(wanted) & " after " & _
                 FormatNumber(SecondsSince(started), 1) & " s."
End Sub

Dim state, controls
state = service.CurrentState
controls = service.ControlsAccepted
WScript.Echo "Restarting " & name & " (" & service.DisplayName & "), which is " & _
             StateName(state) & "."
If state = STOPPED Then
    WScript.Echo name & " is stopped already; starting it."
Else
    If (controls And ACCEPT_STOP) = 0 Then
        Fail "Refused: " & name & " does not accept a stop request while it is " & _
             StateName(state) & " (ControlsAccepted " & controls & ")."
    End If
    Step "Stopping", service.StopService(), STOPPED
End If
Step "Starting", service.StartService(), RUNNING
WScript.Echo "Restarted " & name & "."
WScript.Quit 0
