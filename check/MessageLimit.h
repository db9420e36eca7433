#pragma once
// How many messages one check or pass reads from one account. The count
// comes from the server's STAT reply; a server that claims billions would
// otherwise keep a check (and a pass from a scheduler, where nobody can
// cancel it) reading summaries for ever and fill the grid and the logs.
// The rest of such a mailbox is left alone and the log says so.
namespace MessageLimit {
constexpr int PerAccount = 20000;
}
