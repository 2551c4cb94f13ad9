// list-services.js: the services of a computer as a table, from JScript through Tobrunel.dll.
// Register the DLL first (regsvr32 Tobrunel.dll), then:
//
//   cscript //nologo list-services.js [/active] [/drivers] [computer]
//
// Every property read below keeps its result: JScript makes a call whose result is dropped as a
// method call, which a property does not answer.

var NAME_LIMIT = 24;
var DISPLAY_NAME_LIMIT = 36;
var PROGRAM_LIMIT = 48;

var stateTexts = {
    1: "Stopped", 2: "Start Pending", 3: "Stop Pending", 4: "Running",
    5: "Continue Pending", 6: "Pause Pending", 7: "Paused"
};
var startTypeTexts = {
    0: "Boot Start", 1: "System Start", 2: "Auto Start", 3: "Demand Start", 4: "Disabled"
};

function textOf(texts, value) {
    return texts.hasOwnProperty(value) ? texts[value] : "Unknown (" + value + ")";
}

// shorten cuts text to at most width characters, marking the cut with "...".
function shorten(text, width) {
    return text.length > width ? text.substr(0, width - 3) + "..." : text;
}

function repeat(character, count) {
    return new Array(count + 1).join(character);
}

// column shortens or pads text to exactly width characters.
function column(text, width) {
    var shortened = shorten(text, width);
    return shortened + repeat(" ", width - shortened.length);
}

function parseArguments() {
    var options = { activeOnly: false, withDrivers: false, computer: "" };
    for (var i = 0; i < WScript.Arguments.length; i++) {
        var argument = WScript.Arguments.Item(i);
        switch (argument.toLowerCase()) {
            case "/active": options.activeOnly = true; break;
            case "/drivers": options.withDrivers = true; break;
            case "/?": case "/help": case "-h": case "--help":
                WScript.Echo("usage: cscript //nologo list-services.js [/active] [/drivers] [computer]");
                WScript.Quit(0);
                break;
            default: options.computer = argument;
        }
    }
    return options;
}

function createServices() {
    try {
        return new ActiveXObject("Velcastra.clsServices");
    } catch (e) {
        WScript.Echo("Velcastra.clsServices cannot be created (" + e.message + "); " +
                     "register the component first: regsvr32 Tobrunel.dll");
        WScript.Quit(1);
    }
}

// rowsOf reads every service once into plain texts; the table is measured and printed from them.
function rowsOf(services) {
    var rows = [];
    var total = services.Count;
    for (var i = 1; i <= total; i++) {
        var service = services.Item(i);
        rows.push([service.Name, service.DisplayName, textOf(stateTexts, service.CurrentState),
                   textOf(startTypeTexts, service.StartType), service.BinaryPathName]);
    }
    return rows;
}

function printTable(rows) {
    var header = ["Name", "Display name", "State", "Start type", "Program"];
    var limits = [NAME_LIMIT, DISPLAY_NAME_LIMIT, 100, 100];
    var widths = [];
    for (var c = 0; c < limits.length; c++) {
        widths[c] = header[c].length;
        for (var r = 0; r < rows.length; r++) {
            widths[c] = Math.max(widths[c], rows[r][c].length);
        }
        widths[c] = Math.min(widths[c], limits[c]);
    }
    var line = function (cells, fill) {
        var parts = [];
        for (var c = 0; c < widths.length; c++) {
            parts.push(fill ? repeat(fill, widths[c]) : column(cells[c], widths[c]));
        }
        parts.push(fill ? repeat(fill, cells[widths.length].length)
                        : shorten(cells[widths.length], PROGRAM_LIMIT));
        return parts.join("  ");
    };
    WScript.Echo(line(header));
    WScript.Echo(line(header, "-"));
    for (var i = 0; i < rows.length; i++) {
        WScript.Echo(line(rows[i]));
    }
}

var options = parseArguments();
var services = createServices();
// Each of these settings lists the services again at once; a failed listing leaves Count at 0.
if (options.computer !== "") services.ComputerName = options.computer;
if (options.withDrivers) services.ServicesEnumType = 2;   // Both WIN32 and Drivers
if (options.activeOnly) services.ServicesEnumState = 0;   // Active Services

var rows = rowsOf(services);
printTable(rows);
WScript.Echo("");
WScript.Echo(rows.length + " " + (options.activeOnly ? "active " : "") +
             (options.withDrivers ? "services and drivers" : "services") + " on " +
             services.ComputerName + ".");
