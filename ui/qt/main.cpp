// lumvex-station: the desktop station with its Qt window. Run it in the folder
// that holds the configuration files. Exits 0 after an orderly close, 1 when
// the start-up failed (the configuration could not be read), 2 on a bad option.
#include "core/station.h"
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

void usage() {
  std::fputs(
      "usage: lumvex-station [Qt options] [--broadcast ADDR] [--query-port N] [--beacon-port N]\n"
      "                      [--change-port N] [--beacon-wait MS]\n"
      "The station with its window, working in the current folder (Lumvex_8_0.ini, ...).\n"
      "\n"
      "\"Find Lumvexs\" searches the network it is given here (defaults in brackets):\n"
      "  --broadcast ADDR   where the queries and address changes go [255.255.255.255]\n"
      "  --query-port N     query, setup query and the 20-byte address change [30718]\n"
      "  --beacon-port N    beacons arrive here (widgetType 0) [1020]\n"
      "  --change-port N    a beacon unit's address change goes here [9999]\n"
      "  --beacon-wait MS   wait for beacons before they are read [10000]\n",
      stdout);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      usage();
      return 0;
    }
  QApplication app(argc, argv);          // takes Qt's own options out of argv
  app.setQuitOnLastWindowClosed(false);  // the window's close decides, after the exit steps
  lumvex::qt::QtOperator op;
  lumvex::Station st(op);
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
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
