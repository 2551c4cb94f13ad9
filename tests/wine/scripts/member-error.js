// Run against TobrunelSimulated.dll with TOBRUNEL_SIMULATED_FAULT=binary-path: the automation
// error 5 of a failing refresh reaches JScript as 0x800A0005 with the component's description.

var service = new ActiveXObject("Velcastra.clsService");
var caught = null;
try {
    service.Name = "Alpha";
} catch (e) {
    caught = e;
}
check(caught != null, "the Name setter raises");
check(caught != null && (caught.number >>> 0) == 0x800A0005, "as 0x800A0005");
check(caught != null && caught.description == "Invalid procedure call or argument",
      "with the component's description");

WScript.Echo(passed + " passed, " + failed + " failed");
WScript.Quit(failed);
