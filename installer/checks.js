// Refuses, before anything is installed, a KEYCODE, COMPANY or FEEDHOST longer than
// the screen saver reads (it would cut the company line and ignore the others), and a
// RECALL other than 0 or 1, whose meaning would be a guess.
// Lengths are in UTF-16 units, the saver's own measure.
var INSTALLMESSAGE_ERROR = 0x01000000;
var IDOK = 1, IDABORT = 3;

function Refuse(text) {
    var record = Session.Installer.CreateRecord(0);
    record.StringData(0) = "Tavelin Screensaver: " + text + " Nothing was installed.";
    Session.Message(INSTALLMESSAGE_ERROR, record);
}

function RefuseUnusableValues() {
    var limits = [["KEYCODE", 1023], ["COMPANY", 511], ["FEEDHOST", 255]];
    var refused = false;
    for (var i = 0; i < limits.length; i++) {
        var name = limits[i][0], most = limits[i][1];
        var length = Session.Property(name).length;
        if (length > most) {
            Refuse(name + " is " + length + " characters long; the screen saver uses at most " + most + ".");
            refused = true;
        }
    }
    var recall = Session.Property("RECALL");
    if (recall != "" && recall != "0" && recall != "1") {
        Refuse("RECALL is \"" + recall + "\"; it takes 0 (off) or 1 (on).");
        refused = true;
    }
    return refused ? IDABORT : IDOK;
}
