#pragma once
// The tool bar of the program's windows: a light panel "Panel1" across the
// top with a row of round buttons, each with a small caption label under it.
#include <QStyle>
#include <initializer_list>

class QFrame;
class QLabel;
class QWidget;
class RoundButton;

struct ToolButtonDef
{
    const char *button;   // object name of the round button
    const char *label;    // object name of its caption label
    const char *caption;  // layout caption until the window texts replace it
    QStyle::StandardPixmap icon;
    RoundButton **b;
    QLabel **l;
};

// Buttons stand `step` pixels apart; each label is `step` wide under its
// button, so long captions stay centred.
// Property that marks the caption labels under the buttons.
inline constexpr char kToolCaption[] = "kvToolCaption";

QFrame *buildToolPanel(QWidget *window, int width, std::initializer_list<ToolButtonDef> buttons, int step = 52);
