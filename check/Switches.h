#pragma once
// The switches the classification reads, taken from the settings.
#include "rules/Classifier.h"
#include "settings/Settings.h"

inline RuleSwitches ruleSwitches(const Settings &s)
{
    RuleSwitches sw;
    sw.Subject = s.Subject;
    sw.Subject_I = s.Subject_I;
    sw.From = s.From;
    sw.From_I = s.From_I;
    sw.Groesse = s.Groesse;
    sw.AutoKill = s.AutoKill;
    sw.Send = s.Send;
    sw.Decoded_Match = s.Decoded_Match;
    sw.Groesse_KB = s.Groesse_KB;
    return sw;
}

