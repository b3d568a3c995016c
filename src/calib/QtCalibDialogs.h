// What the calibration dialogs do alike when they close.
#pragma once

class AnalogTab;
class NestedCalls;
class QDialog;
struct ChanInfo;

// The configurations the channels are in now go back into the page's channel
// record (the page shows them when it comes back).
void CalibDialog_HandBack(AnalogTab* page, const ChanInfo& channels);

// Closing while a call into the calibration still runs below (it showed a
// message box whose event loop brought the close): the dialog leaves its
// parent, which may be going, and is deleted only when that call has returned.
void CalibDialog_GoWhenIdle(QDialog* dialog, NestedCalls& calls);
