' Times late-bound property calls from VBScript: a get of a number (CurrentState) and a let of
' a text with a variable (ComputerName) on a clsService, neither of which touches a service,
' and a get and a let of a number on Scripting.Dictionary (Count, CompareMode), whose IDispatch
' is the platform's plain ITypeInfo::Invoke. Each figure is one loop of N calls
' timed with Timer, minus an empty loop of N; microseconds a call, as key=value lines.
'   cscript //nologo late-bound.vbs N
Option Explicit
Dim calls, service, dictionary, text, number, value, i, started, emptyLoop
calls = CLng(WScript.Arguments(0))
Set service = CreateObject("Velcastra.clsService")
Set dictionary = CreateObject("Scripting.Dictionary")
text = "bench"
number = 1
service.ComputerName = text

' Timer counts seconds since midnight; a loop that spans midnight wraps.
Function Elapsed(since)
    Elapsed = Timer - since
    If Elapsed < 0 Then Elapsed = Elapsed + 86400
End Function

Sub Report(key, seconds)
    WScript.Echo key & "=" & ((seconds - emptyLoop) * 1000000 / calls)
End Sub

started = Timer
For i = 1 To calls
Next
emptyLoop = Elapsed(started)
WScript.Echo "empty_loop.us=" & (emptyLoop * 1000000 / calls)

started = Timer
For i = 1 To calls
    value = service.CurrentState
Next
Report "dll.get.us", Elapsed(started)

started = Timer
For i = 1 To calls
    service.ComputerName = text
Next
Report "dll.let.us", Elapsed(started)

started = Timer
For i = 1 To calls
    value = dictionary.Count
Next
Report "dictionary.get.us", Elapsed(started)

started = Timer
For i = 1 To calls
    dictionary.CompareMode = number
Next
Report "dictionary.let.us", Elapsed(started)

' The lets must have landed, or the loops timed errors.
If service.ComputerName = text And dictionary.CompareMode = number Then WScript.Echo "done=1"
