#pragma once
// The reset that precedes every check and pass: grid back to its header row
// and one empty row, lamps out (the automatic-check lamp excepted), counters
// to 0. The tray follows through the callback (hint cleared, empty icon).
#include <functional>

struct AppServices;
struct MainControls;
class TKvLanguage;

namespace ResultDisplay {
void reset(MainControls &c, const AppServices &app, const TKvLanguage &catalog);
}
