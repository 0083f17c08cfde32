// lumvex-station: the desktop station with its Qt window. Exits 0 after an
// orderly close, 1 when the start-up failed (no working folder, or the
// configuration could not be read), 2 for a bad argument.
#include "core/station.h"
#include "core/workdir.h"
#include "link/discovery.h"
#include "ui/callbacks.h"
#include "ui/layout.h"
#include "ui/main_window.h"
#include "ui/qt/plot_view.h"
#include "ui/qt/qt_operator.h"
#include "ui/qt/station_window.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char kUsage[] =
    "Usage: lumvex-station [--workdir DIR] [network options] [Qt options]\n\n"
    "The desktop station for the Lumvex chest-deflection measurement unit: connect to a\n"
    "unit over serial or TCP, set it up, arm it, download, convert, filter, plot and\n"
    "export its recordings, and maintain it.\n"
    "\n"
    "options\n"
    "  --workdir DIR   the working folder with the configuration and list files\n"
    "                  (Lumvex_8_0.ini, reinit.txt, calibration files, ...); without\n"
    "                  it: the current folder when it holds Lumvex_8_0.ini, else\n"
    "                  $XDG_DATA_HOME/lumvex (~/.local/share/lumvex), made from the\n"
    "                  installed templates on first start\n"
    "  --version       the program's version\n"
    "  --help          this text\n"
    "\n"
    "network options: where \"Find Lumvexs\" searches (defaults in brackets)\n"
    "  --broadcast ADDR   where the queries and address changes go [255.255.255.255]\n"
    "  --query-port N     query, setup query and the 20-byte address change [30718]\n"
    "  --beacon-port N    beacons arrive here (widgetType 0) [1020]\n"
    "  --change-port N    a beacon unit's address change goes here [9999]\n"
    "  --beacon-wait MS   wait for beacons before they are read [10000]\n"
    "\n"
    "environment\n"
    "  LUMVEX_SERIAL_PORTS  COMn=DEVICE,... names serial devices as COM ports\n"
    "  LUMVEX_CONNECT=1     press CONNECT once the window is up\n";

}  // namespace

int main(int argc, char** argv) {
  std::string workDirOption;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (a == "--version") {
      std::printf("lumvex-station %s\n", LUMVEX_VERSION);
      return 0;
    }
    if (a == "--workdir") {
      if (i + 1 >= argc) {
        std::fputs("lumvex-station: --workdir needs a folder\n", stderr);
        return 2;
      }
      workDirOption = argv[++i];
    }
  }
  std::string error;
  const std::string workDir = lumvex::PrepareWorkDir(workDirOption, lumvex::TemplatesFolder(), error);

  QApplication app(argc, argv);          // takes Qt's own options out of argv
  app.setQuitOnLastWindowClosed(false);  // the window's close decides, after the exit steps
  lumvex::qt::QtOperator op;
  if (workDir.empty()) {
    std::fprintf(stderr, "lumvex-station: %s\n", error.c_str());
    op.message("Error", error);
    return 1;
  }
  lumvex::Station st(op);
  st.workDir = workDir;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--workdir") == 0) {
      ++i;
      continue;
    }
    if (std::strncmp(a, "--", 2) != 0 || i + 1 >= argc ||
        !lumvex::SetDiscoveryOption(st.discovery.network, a + 2, argv[i + 1])) {
      std::fprintf(stderr, "lumvex-station: bad argument %s (see --help)\n", a);
      return 2;
    }
    ++i;
  }
  lumvex::LoadMainLayout(st.model);
  lumvex::BindCallbacks(st);
  lumvex::qt::StationWindow window(st.model);
  st.savePlotImage = [&window](const std::string& path) {
    return lumvex::qt::SavePlotImage(window.controlWidget(lumvex::Ctl::PLOT_GRAPH), path);
  };
  op.setParent(&window);
  window.show();
  if (lumvex::StartStation(st) != 0) return 1;

  QObject::connect(&window, &lumvex::qt::StationWindow::closed, &app, [&] {
    if (!st.quitRequested) lumvex::ExitStation(st);
    app.quit();
  });
  // The exit steps may also be asked for from inside a callback.
  QTimer quitWatch;
  QObject::connect(&quitWatch, &QTimer::timeout, &app, [&] {
    if (st.quitRequested) app.quit();
  });
  quitWatch.start(200);
  // LUMVEX_CONNECT=1 (set by scripts/run beside the simulated unit) presses
  // CONNECT once the window is up, with the address the list left current.
  const char* autoConnect = std::getenv("LUMVEX_CONNECT");
  if (autoConnect && std::strcmp(autoConnect, "1") == 0)
    QTimer::singleShot(0, &app, [&] { st.model.commit(lumvex::Ctl::CONNECT); });
  return app.exec();
}
