#pragma once
// The reset that precedes every check and pass: grid back to its header row
// and one empty row, lamps out (the automatic-check lamp excepted), counters
// to 0, the tray empty.
#include <functional>

struct AppServices;
class MainIndicators;
class TKvLanguage;

namespace ResultDisplay {
void reset(MainIndicators &show, const AppServices &app, const TKvLanguage &catalog);
}
