#include "calib/QtCalibDialogs.h"

#include <QDialog>
#include <QPointer>
#include <algorithm>

#include "calib/NestedCalls.h"
#include "io/AnalogTab.h"
#include "io/ChanInfo.h"

void CalibDialog_HandBack(AnalogTab* page, const ChanInfo& channels) {
  if (!page) return;
  ChanInfo& record = page->calibChannels();
  if (record.channelCount != channels.channelCount) return;  // read again meanwhile
  const int count = std::clamp(int(record.channelCount), 0, CHANINFO_MAX_CHANNELS);
  for (int c = 0; c < count; ++c) record.channels[c].configInUse = channels.channels[c].configInUse;
}

void CalibDialog_GoWhenIdle(QDialog* dialog, NestedCalls& calls) {
  if (!calls.active()) return;
  dialog->setAttribute(Qt::WA_DeleteOnClose, false);
  dialog->hide();
  dialog->setParent(nullptr);
  calls.whenDone([guard = QPointer<QDialog>(dialog)] {
    if (guard) guard->deleteLater();
  });
}
