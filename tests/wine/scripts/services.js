// Velcastra from JScript, which passes every argument by value and reads every result: the three
// classes' members, the default member, the missing enumerator and the errors as JScript sees
// them. Prints "N passed, N failed" and quits with the failure count.

// errorOf runs `action` and gives the error it raised, or null.
function errorOf(action) {
    try {
        action();
    } catch (e) {
        return e;
    }
    return null;
}

function low16(number) {
    return number & 0xFFFF;
}

var shell = new ActiveXObject("WScript.Shell");
var computer = shell.Environment("PROCESS")("COMPUTERNAME");

// --- clsServices ----------------------------------------------------------------------------
var services = new ActiveXObject("Velcastra.clsServices");
var total = services.Count;
check(total > 0, "a new collection lists services");
check(services.ComputerName == computer, "ComputerName is this computer");
check(services.ServicesEnumType == 0 && services.ServicesEnumState == 2, "the filters start at 0 and 2");

var allFound = true;
for (var i = 1; i <= total; i++) {
    var service = services.Item(i);
    var name = service.Name;
    if (name.length == 0 || services.Item(name) != service || services(i) != service) {
        allFound = false;
        WScript.Echo("FAIL: item " + i + " '" + name + "'");
    }
}
check(allFound, "every position and every name finds the same object");
check(services.Item(2.5) == services.Item(2), "2.5 rounds to even 2");
check(services.Item(0) == null, "position 0 finds nothing");
check(services.Item("No Such Service") == null, "an unknown name finds nothing");
check(services.Item(true) == null, "a Boolean index finds nothing");
check(services.Item(1.5) == services.Item(2), "1.5 rounds to even 2");
check(services.Item("2") == null, "a text that reads as a number is a key");
check(services.Item(null) == null && services.Item(undefined) == null, "null and undefined find nothing");
check(services.Item(-1) == null && services.Item(1e10) == null, "positions out of 32-bit range find nothing");
check(services.Item(NaN) == null && services.Item(Infinity) == null, "NaN and Infinity find nothing");
// A Number object answers 2 when asked for its value; the index does not ask.
check(services.Item(new Number(2)) == null, "a Number object finds nothing");
check(services.Item(services) == null, "an object index finds nothing");
check(services.Delete(null) == false && services.Delete(NaN) == false, "Delete of null or NaN returns false");

services.ServicesEnumType = 2;
var both = services.Count;
check(services.ServicesEnumType == 2 && both > total, "Win32 services and drivers: " + both);
services.ServicesEnumType = "0";
check(services.ServicesEnumType == 0 && services.Count == total, "a numeric text sets the filter");
services.ServicesEnumState = 0;
check(services.ServicesEnumState == 0 && services.Count <= total, "active services only");
services.ServicesEnumState = 2;
services.ComputerName = " " + computer + " ";
check(services.ComputerName == computer, "ComputerName is stored without its spaces");
check(services.Refresh() == true, "Refresh returns true");
check(services.Delete("No Such Service") == false, "deleting an unknown service returns false");

// --- clsService -----------------------------------------------------------------------------
var spooler = new ActiveXObject("Velcastra.clsService");
check(spooler.Name == "" && spooler.CurrentState == 0, "a new service is empty");
spooler.Name = "spooler";
check(spooler.Name == "spooler" && spooler.DisplayName.length > 0, "Name looks up the service");
check(/spoolsv/i.test(spooler.BinaryPathName), "BinaryPathName");
check(spooler.StartName == "LocalSystem", "StartName");
check(typeof spooler.TagID == "number" && typeof spooler.WaitHint == "number", "numbers");
check(spooler.Refresh() == true, "Refresh returns true");
check(spooler.ContinueService() == false, "a service that is not paused does not continue");
spooler.Name = "Tobrunel-No-Such-Service";
check(spooler.Name == "", "an unknown name clears the service");

// --- clsSVCDependencies ---------------------------------------------------------------------
var list = spooler.Dependencies;
check(list == spooler.Dependencies, "Dependencies is one object until a refresh");
list.Add("RpcSs");
list.Add(7);
check(list.Count == 2 && list.Item(1) == "RpcSs" && list(2) == "7", "Add appends texts and numbers");
check(list.Item(3) == "", "a position past the end reads the empty text");
check(list.Source == "RpcSs\u00007\u0000\u0000", "Source holds the NULs");
list.Source = "A\u0000B\u0000\u0000";
check(list.Count == 2 && list(2) == "B", "Source replaces the list");
check(list.Remove(1.4) == true && list(1) == "B", "Remove rounds its position");
check(list.Remove(9) == false, "Remove past the end returns false");

// --- enumerators and errors -----------------------------------------------------------------
check(errorOf(function () { new Enumerator(services); }) != null, "the collection has no enumerator");
check(errorOf(function () { new Enumerator(list); }) != null, "a dependency list has no enumerator");
var mismatch = errorOf(function () { services.ServicesEnumType = "not a number"; });
check(mismatch != null && (mismatch.number >>> 0) == 0x80020005,
      "a text that is no number is DISP_E_TYPEMISMATCH");
// Reading an unknown property gives undefined in JScript; calling an unknown method raises 438.
check(spooler.NoSuchMember === undefined, "an unknown property reads undefined");
var unknown = errorOf(function () { return spooler.NoSuchMember(); });
check(unknown != null && low16(unknown.number) == 438, "calling an unknown method is error 438");

WScript.Echo(passed + " passed, " + failed + " failed");
WScript.Quit(failed);
