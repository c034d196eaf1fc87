// Refuses, before anything is installed, a KEYCODE, COMPANY or FEEDHOST longer than
// the screen saver reads (it would cut the company line and ignore the others).
// Lengths are in UTF-16 units, the saver's own measure.
var INSTALLMESSAGE_ERROR = 0x01000000;
var IDOK = 1, IDABORT = 3;

function RefuseUnusableValues() {
    var limits = [["KEYCODE", 1023], ["COMPANY", 511], ["FEEDHOST", 255]];
    var refused = false;
    for (var i = 0; i < limits.length; i++) {
        var name = limits[i][0], most = limits[i][1];
        var length = Session.Property(name).length;
        if (length > most) {
            var record = Session.Installer.CreateRecord(0);
            record.StringData(0) = "Tavelin Screensaver: " + name + " is " + length +
                " characters long; the screen saver uses at most " + most + ". Nothing was installed.";
            Session.Message(INSTALLMESSAGE_ERROR, record);
            refused = true;
        }
    }
    return refused ? IDABORT : IDOK;
}
