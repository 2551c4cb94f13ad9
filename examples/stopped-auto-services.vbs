' stopped-auto-services.vbs: the health check of a computer's services: lists the services set to
' start automatically that are not running. Register Tobrunel.dll first: regsvr32 Tobrunel.dll
'
'   cscript //nologo stopped-auto-services.vbs [COMPUTER]
'
'   COMPUTER  another computer's services; the default is this computer
'
' Exit code: 0 every automatic service runs, 1 some do not (or the services cannot be listed),
' 2 bad usage.
Option Explicit

Const AUTO_START = 2
Const RUNNING = 4

Function StateName(state)
    Select Case state
        Case 1: StateName = "Stopped"
        Case 2: StateName = "Start Pending"
        Case 3: StateName = "Stop Pending"
        Case 5: StateName = "Continue Pending"
        Case 6: StateName = "Pause Pending"
        Case 7: StateName = "Paused"
        Case Else: StateName = "state " & state
    End Select
End Function

Dim computer
If WScript.Arguments.Count > 1 Then
    WScript.Echo "usage: cscript //nologo stopped-auto-services.vbs [COMPUTER]"
    WScript.Quit 2
End If
computer = ""
If WScript.Arguments.Count = 1 Then computer = WScript.Arguments(0)
If Left(computer, 1) = "/" Or Left(computer, 1) = "-" Then
    WScript.Echo "usage: cscript //nologo stopped-auto-services.vbs [COMPUTER]"
    WScript.Quit 2
End If

Dim services, createError, listed
On Error Resume Next
Set services = CreateObject("Velcastra.clsServices")
createError = Err.Number
On Error GoTo 0
If createError <> 0 Then
    WScript.Echo "Velcastra.clsServices cannot be created (error " & createError & "); " & _
                 "register the component first: regsvr32 Tobrunel.dll"
    WScript.Quit 1
End If
If computer <> "" Then services.ComputerName = computer
' An empty list is no proof of health: only a listing that ran to its end is.
listed = services.Refresh
If Not listed Then
    WScript.Echo "The services of " & services.ComputerName & " cannot be listed."
    WScript.Quit 1
End If

Dim i, service, automatic, stopped
automatic = 0
stopped = 0
For i = 1 To services.Count
    Set service = services.Item(i)
    If service.StartType = AUTO_START Then
        automatic = automatic + 1
        If service.CurrentState <> RUNNING Then
            stopped = stopped + 1
            WScript.Echo service.Name & "  " & StateName(service.CurrentState) & "  " & _
                         service.DisplayName & "  (exit code " & service.Win32ExitCode & ")"
        End If
    End If
Next

If stopped > 0 Then
    WScript.Echo stopped & " of " & automatic & " automatic services on " & _
                 services.ComputerName & " are not running."
    WScript.Quit 1
End If
WScript.Echo "All " & automatic & " automatic services on " & services.ComputerName & _
             " are running."
WScript.Quit 0
