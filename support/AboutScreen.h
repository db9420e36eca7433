#pragma once
// The about screen: program name, maker, version and build date.
class QWidget;
class Prompts;

namespace AboutScreen {
constexpr const char *ProgramName = "Korvalinthus";
constexpr const char *Company = "Quorbell";
constexpr const char *Version = "2.00";
void show(QWidget *parent, Prompts &prompts);
}
