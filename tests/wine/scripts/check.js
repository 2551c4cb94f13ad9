// The checks of every JScript client here, which run-script-test.sh puts in front of the client:
// check counts a condition, and the client ends with its "N passed, N failed" line.
var passed = 0, failed = 0;

function check(condition, what) {
    if (condition) {
        passed++;
    } else {
        failed++;
        WScript.Echo("FAIL: " + what);
    }
}

