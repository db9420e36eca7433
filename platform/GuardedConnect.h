#pragma once
// Connects a window's signal to a handler that runs through the prompts'
// guard (Prompts::guarded): a failure is shown in the error box and ends
// only that handler. The handler takes no arguments; a handler that needs
// the signal's arguments captures them in its own lambda and calls
// Prompts::guarded itself.
//
//     guardedConnect(m_prompts, But_Loeschen, &QAbstractButton::clicked, this, [this] { But_LoeschenClick(); });
#include "platform/Prompts.h"

#include <QObject>
#include <utility>

template<typename Sender, typename Signal, typename Handler>
QMetaObject::Connection guardedConnect(Prompts &prompts, const Sender *sender, Signal signal, const QObject *context,
                                       Handler handler)
{
    return QObject::connect(sender, signal, context,
                            [&prompts, handler = std::move(handler)] { prompts.guarded(handler); });
}
