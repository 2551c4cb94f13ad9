' The checks of every VBScript client here, which run-script-test.sh puts in front of the client:
' Check counts a condition, and the client ends with its "N passed, N failed" line.
Option Explicit

Dim passed, failed
passed = 0
failed = 0

Sub Check(condition, what)
    If condition Then
        passed = passed + 1
    Else
        failed = failed + 1
        WScript.Echo "FAIL: " & what
    End If
End Sub

