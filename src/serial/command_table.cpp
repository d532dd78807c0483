#include "serial/command_table.h"

#include "common/globals.h"

#include <utility>

namespace vx {

namespace {

// Runs of consecutive indexes, each starting at its first index.
const std::pair<int, const char*> kCommandRuns[] = {
    {0, "ba rp ch sy unv st cy en ad na li po ve th mi ma da er to te do bv wz wh tt sp rh ty ts hs "
        "grantlid cw cx cz dw dv ih iu id eh eu ed ii iv ie ei ev ee it et bs bw dd dt du fd fu g "
        "h gn gp ip md mg mu un uf nn nf pd pe pu re rs rw tb tm ut gd ps ws ns up dp nb bp st mr "
        "mt rm mp dn df az ah ap co cf lp am wp wd mm bn"},
    {200, "bl ds ex nd nu sc td us lr rr ra ac cl"},
};

} // namespace

void InitCommandTable()
{
    G.CommandTable.fill(QStringLiteral("##"));
    for (const auto& [first, names] : kCommandRuns) {
        int index = first;
        for (const QString& name : QString::fromLatin1(names).split(QLatin1Char(' ')))
            G.CommandTable.at(index++) = name;
    }
    G.CR = QStringLiteral("\r");
    G.LF = QStringLiteral("\n");
}

const QString& Command(int index) { return G.CommandTable.at(index); }

} // namespace vx
