// The bus scan: finds the modules on the bus and lists them while it runs.
// Either one identify request to node 0 that every module answers (flash
// mode), or one request per node of the scan range, one per tick of the send
// timer. A check timer collects the replies meanwhile; the collect timer ends
// the scan with a last check. The GUI only forwards the Scan Bus command and
// shows the progress.
#pragma once

#include <functional>

class UiTimer;

// The Scan Bus command: starts a scan, or cancels the running one (while
// sending it goes on to collect; while collecting it ends at once).
void BusScan_Command();
// Starts a scan unless one runs (or an upload keeps the bus busy).
void BusScan_Start();
bool BusScan_Running();
// True once no more requests are to be sent (flash mode, range done, cancelled).
bool BusScan_Collecting();

// Receives the progress bar value 0..100.
void BusScan_SetProgressHook(std::function<void(int percent)> hook);

// The three timers: 1 sends, 2 checks, 3 ends the collection (tests fire them).
UiTimer& BusScan_Timer(int number);
