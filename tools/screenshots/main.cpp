// kvxscreens: renders the main window and every dialog that registered a shot
// to docs/screenshots/<name>.png, on Qt's offscreen platform, against the
// in-process simulator with its demo population.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "Screenshots.h"
#include "SimServer.h"
#include "bus/Interface.h"
#include "core/ErrorReport.h"
#include "app/MainWindow.h"
#include "core/Session.h"
#include "core/Options.h"
#include "platform/Paths.h"
#include "protocol/PlcDialog.h"
#include "ui/QtUi.h"

namespace {
std::vector<std::pair<QString, ScreenshotFn>>& registry() {
  static std::vector<std::pair<QString, ScreenshotFn>> shots;
  return shots;
}
}  // namespace

ScreenshotRegistration::ScreenshotRegistration(const char* name, ScreenshotFn fn) {
  registry().emplace_back(QString::fromUtf8(name), std::move(fn));
}

const std::vector<std::pair<QString, ScreenshotFn>>& Screenshot_All() { return registry(); }

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  setlocale(LC_NUMERIC, "C");
  const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString("docs/screenshots");
  QDir().mkpath(outDir);

  QTemporaryDir home;
  unsetenv("HOMEDRIVE");
  unsetenv("HOMEPATH");
  setenv("HOME", home.path().toLocal8Bit().constData(), 1);
  Platform_SetExecutablePath("KVXconfig");  // the program's own file names
  std::ofstream(home.filePath("KVXconfig.ini").toStdString())
      << "DEFAULT_INTERFACE = \"KVX Master (Ethernet)\"\nETHERNET_HOSTNAME = 127.0.0.1\n"
         "SCAN_ON_START = 1\nASK_BEFORE_EXIT = 0\n";

  SimServer sim;
  sim.setPopulation(SimPopulation::demo());
  if (!sim.start()) {
    std::fprintf(stderr, "kvxscreens: cannot start the simulator: %s\n", sim.lastError().c_str());
    return 1;
  }
  QtUi ui;
  Ui_Install(&ui);
  int failures = 0;
  {
    Session session;  // the program's state, ended before the Qt backend goes
    Option_SetInt("ETHERNET_PORTNO", sim.port());
    MainWindow window(&ui);
    if (!window.startUp())
      std::fprintf(stderr, "kvxscreens: %s\n", GetInterfaceError());
    // Let a scan started at start-up run to its end: the Ethernet master scans
    // node by node, 100 ms a node, some 13 s for the whole range.
    if (ScanRunning()) {
      QEventLoop wait;
      QTimer poll;
      QObject::connect(&poll, &QTimer::timeout, &wait, [&wait] {
        if (!ScanRunning()) wait.quit();
      });
      QTimer::singleShot(30000, &wait, &QEventLoop::quit);
      poll.start(50);
      wait.exec();
    }
    QApplication::processEvents();
    ScreenshotContext ctx{&window, &sim};
    for (const auto& [name, fn] : Screenshot_All()) {
      QWidget* w = fn(ctx);
      if (!w) {
        ++failures;
        continue;
      }
      w->show();
      QApplication::processEvents();
      const QString path = outDir + "/" + name + ".png";
      if (!w->grab().save(path)) {
        std::fprintf(stderr, "kvxscreens: cannot write %s\n", path.toLocal8Bit().constData());
        ++failures;
      } else {
        std::printf("%s\n", path.toLocal8Bit().constData());
      }
    }
    Option_SetInt("ASK_BEFORE_EXIT", 0);
  }
  Ui_Install(nullptr);
  sim.stop();
  return failures ? 1 : 0;
}
