#pragma once
// The controller's signal lists ("GetSignalResourcesTree", its paged form, and the snapshot
// table of "SetWindows") taken into the model. Anyone on the command port could send such a
// list: only the controller and the host the client talks to are heard, every signal id is
// kept once, and the totals stay bounded however many lists arrive.
#include "dispatch/replies.h"
#include "model/records.h"

#include <QList>
#include <QString>
#include <QVariantList>

#include <vector>

namespace kora::dispatch {

constexpr int kMaxSignals = 8192; // the whole signal list, the device file's signals included
constexpr int kMaxGroups = 1024;  // the whole group list, likewise

// The replies that add signals or move their snapshot streams.
bool changesSignals(Kind kind);
// Whether an action of this kind is taken from `sender` (address text): one that changes
// the signals only from an address of context.signalSources, any other from anyone.
bool acceptedFrom(Kind kind, const QString &sender, const Context &context);

struct SignalMerge {
    QList<int> added; // indexes of the signals the list added, in list order
    int group = -1;   // the whole list's group; -1 for the paged form, or when no group was left
    int refused = 0;  // entries left out because a total is reached
};

// Signal entries (maps "id", "name", "url0", "url1", "snapUrl", "path") into the model. The
// paged form puts each signal into the group named by its "path", made when no group has that
// name; the whole list fills one group of its own, `*wholeListGroup` (-1: none yet, made now
// and returned there), which then holds the latest whole list. A signal whose id is listed
// already is reused, never copied, and is in a group once.
SignalMerge mergeSignalList(std::vector<SignalRecord> &signalList, std::vector<SignalGroupRecord> &groups,
                            const QVariantList &entries, bool paged, int *wholeListGroup);

} // namespace kora::dispatch
