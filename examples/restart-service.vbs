' restart-service.vbs: stops a service, waits until it has stopped, starts it and waits until it
' runs, reporting each step. Register Tobrunel.dll first: regsvr32 Tobrunel.dll
'
'   cscript //nologo restart-service.vbs NAME [SECONDS]
'
'   NAME      the service's (key) name, as in "sc query NAME"
'   SECONDS   how long each of the two waits may take at most; 30 when left out
'
' A service that does not accept a stop request now is refused, not forced. Stopping and starting
' need an administrator's rights.
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

Function IsPending(state)
    IsPending = (state = 2 Or state = 3 Or state = 5 Or state = 6)
End Function

' SecondsSince reads the clock rather than counting pauses, which some hosts cut short; Timer
' restarts at midnight.
Function SecondsSince(started)
    SecondsSince = Timer - started
    If SecondsSince < 0 Then SecondsSince = SecondsSince + 86400
End Function

Function Smaller(a, b)
    Smaller = a
    If b < a Then Smaller = b
End Function

' Pause waits about `seconds` without using the processor. Where WScript.Sleep fails or returns
' early (Wine), a ping of this computer waits instead: one second between echoes, to the
' nearest second.
Sub Pause(seconds)
    Dim started
    started = Timer
    On Error Resume Next
    WScript.Sleep Int(seconds * 1000)
    On Error GoTo 0
    If SecondsSince(started) < seconds / 2 Then
        CreateObject("WScript.Shell").Run "%ComSpec% /c ping -n " & (Int(seconds + 0.5) + 1) & _
                                          " 127.0.0.1 >nul", 0, True
    End If
End Sub

' WaitFor refreshes `service` until it is in state `wanted`, and returns "" when it got there,
' else why it stopped waiting. As Windows' own guidance has it, a pending operation progresses
' while its CheckPoint moves on or its state changes within its WaitHint, and is stuck when
' neither happens; between reads it waits a tenth of the hint, from 1 to 10 seconds.
Function WaitFor(service, wanted, seconds)
    Dim started, progressed, refreshed, state, checkPoint, hint, lastState, lastCheckPoint, left
    started = Timer
    lastState = 0
    Do
        refreshed = service.Refresh
        state = service.CurrentState
        checkPoint = service.CheckPoint
        hint = service.WaitHint / 1000
        left = seconds - SecondsSince(started)
        If Not refreshed Then
            WaitFor = "it can no longer be read (deleted, or access denied)"
            Exit Function
        End If
        If state = wanted Then
            WaitFor = ""
            Exit Function
        End If
        If IsPending(lastState) And Not IsPending(state) Then
            WaitFor = "it went from " & StateName(lastState) & " to " & StateName(state) & _
                      " (exit code " & service.Win32ExitCode & ")"
            Exit Function
        End If
        If state <> lastState Or checkPoint <> lastCheckPoint Then
            progressed = Timer
        ElseIf IsPending(state) And hint > 0 And SecondsSince(progressed) > hint Then
            WaitFor = "no progress: " & StateName(state) & " at check point " & checkPoint & _
                      " for " & FormatNumber(SecondsSince(progressed), 1) & _
                      " s, longer than its wait hint of " & hint & " s"
            Exit Function
        End If
        If left <= 0 Then
            WaitFor = "timed out after " & FormatNumber(seconds - left, 1) & _
                      " s while it is " & StateName(state)
            Exit Function
        End If
        lastState = state
        lastCheckPoint = checkPoint
        If IsPending(state) And hint > 10 Then
            Pause Smaller(Smaller(hint / 10, 10), left)
        Else
            Pause Smaller(1, left)
        End If
    Loop
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
    reason = WaitFor(service, wanted, seconds)
    If reason <> "" Then Fail verb & " " & name & ": gave up waiting for " & StateName(wanted) & _
                              ": " & reason & "."
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
