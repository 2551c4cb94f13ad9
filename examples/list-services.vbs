' list-services.vbs: prints the services of a computer as a table (name, display name, state,
' start type, program) through Tobrunel.dll. Register the DLL first: regsvr32 Tobrunel.dll
'
'   cscript //nologo list-services.vbs [/active] [/drivers] [computer]
'
'   /active    only the services that are running (or starting, stopping, paused)
'   /drivers   kernel and file-system drivers as well as Win32 services
'   computer   another computer's services; the default is this computer
Option Explicit

' Columns wider than these are shortened with "...", so that a row fits a console window.
Const NAME_LIMIT = 24
Const DISPLAY_NAME_LIMIT = 36
Const PROGRAM_LIMIT = 48

' NameOf returns the name that names gives value, the names standing for first, first + 1, ...
Function NameOf(names, value, first)
    If value >= first And value - first <= UBound(names) Then
        NameOf = names(value - first)
    Else
        NameOf = "Unknown (" & value & ")"
    End If
End Function

Function StateText(state)
    StateText = NameOf(Array("Stopped", "Start Pending", "Stop Pending", "Running", _
                             "Continue Pending", "Pause Pending", "Paused"), state, 1)
End Function

Function StartTypeText(startType)
    StartTypeText = NameOf(Array("Boot Start", "System Start", "Auto Start", "Demand Start", _
                                 "Disabled"), startType, 0)
End Function

' Shorten returns text cut to at most width characters, marking the cut with "...".
Function Shorten(text, width)
    If Len(text) > width Then
        Shorten = Left(text, width - 3) & "..."
    Else
        Shorten = text
    End If
End Function

' Column returns text shortened or padded with spaces to exactly width characters.
Function Column(text, width)
    Dim shortened
    shortened = Shorten(text, width)
    Column = shortened & Space(width - Len(shortened))
End Function

Function Widest(width, text, limit)
    Widest = width
    If Len(text) > Widest Then Widest = Len(text)
    If Widest > limit Then Widest = limit
End Function

' --- arguments -------------------------------------------------------------------------------
Dim activeOnly, withDrivers, computer, i, argument
activeOnly = False
withDrivers = False
computer = ""
For i = 0 To WScript.Arguments.Count - 1
    argument = WScript.Arguments(i)
    Select Case LCase(argument)
        Case "/active": activeOnly = True
        Case "/drivers": withDrivers = True
        Case "/?", "/help", "-h", "--help"
            WScript.Echo "usage: cscript //nologo list-services.vbs [/active] [/drivers] [computer]"
            WScript.Quit 0
        Case Else: computer = argument
    End Select
Next

' --- the services ----------------------------------------------------------------------------
Dim services, createError
On Error Resume Next
Set services = CreateObject("Velcastra.clsServices")
createError = Err.Number
On Error GoTo 0
If createError <> 0 Then
    WScript.Echo "Velcastra.clsServices cannot be created (error " & createError & "); " & _
                 "register the component first: regsvr32 Tobrunel.dll"
    WScript.Quit 1
End If

' Each of these settings lists the services again at once; a failed listing leaves Count at 0.
If computer <> "" Then services.ComputerName = computer
If withDrivers Then services.ServicesEnumType = 2     ' Both WIN32 and Drivers
If activeOnly Then services.ServicesEnumState = 0     ' Active Services

' Two passes over the cached objects: the first measures the columns, the second prints them.
' Reading a property does not ask the service control manager again, so this costs nothing.
Dim total, service, nameWidth, displayNameWidth, stateWidth, startTypeWidth
total = services.Count
nameWidth = Len("Name")
displayNameWidth = Len("Display name")
stateWidth = Len("State")
startTypeWidth = Len("Start type")
For i = 1 To total
    Set service = services.Item(i)
    nameWidth = Widest(nameWidth, service.Name, NAME_LIMIT)
    displayNameWidth = Widest(displayNameWidth, service.DisplayName, DISPLAY_NAME_LIMIT)
    stateWidth = Widest(stateWidth, StateText(service.CurrentState), 100)
    startTypeWidth = Widest(startTypeWidth, StartTypeText(service.StartType), 100)
Next

Dim separator
separator = "  "
WScript.Echo Column("Name", nameWidth) & separator & _
             Column("Display name", displayNameWidth) & separator & _
             Column("State", stateWidth) & separator & _
             Column("Start type", startTypeWidth) & separator & "Program"
WScript.Echo String(nameWidth, "-") & separator & String(displayNameWidth, "-") & separator & _
             String(stateWidth, "-") & separator & String(startTypeWidth, "-") & separator & _
             String(Len("Program"), "-")
For i = 1 To total
    Set service = services.Item(i)
    WScript.Echo Column(service.Name, nameWidth) & separator & _
                 Column(service.DisplayName, displayNameWidth) & separator & _
                 Column(StateText(service.CurrentState), stateWidth) & separator & _
                 Column(StartTypeText(service.StartType), startTypeWidth) & separator & _
                 Shorten(service.BinaryPathName, PROGRAM_LIMIT)
Next

Dim kinds, states
kinds = "services"
If withDrivers Then kinds = "services and drivers"
states = ""
If activeOnly Then states = "active "
WScript.Echo ""
WScript.Echo total & " " & states & kinds & " on " & services.ComputerName & "."
