#include "check/MainIndicators.h"

void MainIndicators::stepMessages()
{
    update([](Values &v) { v.messages.value = std::min(v.messages.value + 1, v.messages.maximum); });
}

void MainIndicators::reset(const QString &totalTitle)
{
    update([&totalTitle](Values &v) {
        v.waiting = false;
        v.messages.value = 0;
        v.transfer.value = 0;
        v.totalTitle = totalTitle;
        v.online = v.accountLamp = v.accountsTotalLamp = v.mailsTotalLamp = false;
        v.accountCount = v.accountsTotal = v.mailsTotal = 0;
        v.offenderLamp.fill(false);
        v.offenderCount.fill(0);
        v.mailFound = false;
        v.trayHint.clear();
    });
}
