#pragma once
// Generated FTS-5000 nodelists and Boss-layout pointlists for the nodelist tests and the benchmark.
#include <cstdint>
#include <string>
#include <vector>

namespace pelmar::test {

struct TGeneratedNode {
    std::string Address;  // as FormatAddress writes it
    std::string Name;     // with blanks (the list writes "_")
    std::string Station, Location, Phone;
};

struct TGeneratedLists {
    std::string Nodelist;
    std::string Pointlist;
    std::vector<TGeneratedNode> Indexed;  // every entry we are expected to index
};

// `nodes` node lines in nets of 200 under a few regions and `points` points spread over them.
// Names mix case and carry punctuation; lines end with `eol`.
inline TGeneratedLists GenerateLists(int nodes, int points, const std::string& eol = "\r\n",
                                     uint32_t seed = 1) {
    uint32_t state = seed;
    auto next = [&]() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    static const char* const first[] = {"Ivan", "petr", "SERGEY", "Anna", "o'Neil", "McArthur", "Jean-Luc",
                                        "Zoe",  "Yu",   "Dmitry", "al",   "Xena",   "Q.",       "Bob"};
    static const char* const last[] = {"Petrov", "sidorov", "O'Brien",   "Smith-Jones", "van_der_Berg",
                                       "Ng",     "Mc.Kay",  "KUZNETSOV", "de'Ath",      "Ivanov!"};
    auto name = [&](int i) {
        std::string n = first[next() % std::size(first)];
        n += "_";
        n += last[next() % std::size(last)];
        n += "_" + std::to_string(i);  // unique, so every name has one address
        if (next() % 7 == 0) n += "_Jr.";
        if (next() % 50 == 0) n += "_with_a_very_long_tail_beyond_35_chars";
        return n;
    };
    auto blanks = [](std::string s) {
        for (auto& c : s)
            if (c == '_') c = ' ';
        return s;
    };
    auto flags = [&]() {
        const int k = static_cast<int>(next() % 4);
        if (k == 0) return std::string("CM,XA,IBN");
        if (k == 1)
            return std::string("XA,T") + static_cast<char>('A' + next() % 24) +
                   static_cast<char>('a' + next() % 24) + ",IBN";
        return std::string("MO");
    };
    TGeneratedLists out;
    out.Nodelist = ";A Generated nodelist" + eol + ";S" + eol +
                   "Zone,2,Europe,Zurich,Zone_Coord,-Unpublished-,300,CM" + eol;
    std::vector<std::string> bosses;
    // A zone's own node and a region's independent nodes: their net is the zone's or region's number.
    out.Nodelist += ",5,Zone_Gate,Zurich,Gate_Keeper_Zone,41-1,33600,CM" + eol;
    out.Indexed.push_back({"2:2/5", "Gate Keeper Zone", "Zone Gate", "Zurich", "41-1"});
    out.Nodelist += "Region,50,Region_50,Moscow,Region_Coord,7-1,33600,CM" + eol;
    for (int n = 1; n <= 3; ++n) {
        const std::string station = "Regional_" + std::to_string(n);
        out.Nodelist += "," + std::to_string(n) + "," + station + ",Kaluga,Reg_Sysop_" + std::to_string(n) +
                        ",7-2-" + std::to_string(n) + ",9600,MO" + eol;
        out.Indexed.push_back({"2:50/" + std::to_string(n), "Reg Sysop " + std::to_string(n), blanks(station),
                               "Kaluga", "7-2-" + std::to_string(n)});
    }
    int made = 0;
    int net = 5000;
    int global = 0;
    while (made < nodes) {
        ++net;
        out.Nodelist += "Host," + std::to_string(net) + ",Net_" + std::to_string(net) +
                        ",Moscow,Host_Sysop," + "7-095-000-0000,33600,CM" + eol;
        for (int n = 1; n <= 200 && made < nodes; ++n, ++made) {
            const int kind = static_cast<int>(next() % 20);
            const std::string keyword = kind == 0   ? "Pvt"
                                        : kind == 1 ? "Down"
                                        : kind == 2 ? "Hub"
                                        : kind == 3 ? "Hold"
                                                    : "";
            const std::string nm = name(global++);
            const std::string station = "Station_" + std::to_string(made);
            const std::string location = "City_" + std::to_string(net);
            const std::string phone =
                keyword == "Pvt" ? "-Unpublished-" : "7-095-" + std::to_string(100000 + made);
            out.Nodelist += keyword + "," + std::to_string(n) + "," + station + "," + location + "," + nm +
                            "," + phone + ",33600," + flags() + eol;
            const std::string address = "2:" + std::to_string(net) + "/" + std::to_string(n);
            if (keyword != "Pvt" && keyword != "Down") {
                out.Indexed.push_back({address, blanks(nm), blanks(station), blanks(location), phone});
                bosses.push_back(address);
            }
            // Now and then the node's points follow it in the nodelist itself.
            if (next() % 10 == 0) {
                const std::string pn = name(global++);
                out.Nodelist += "Point,1,Home_" + std::to_string(made) + "," + location + "," + pn +
                                ",-Unpublished-,300,MO" + eol;
                if (keyword != "Down")
                    out.Indexed.push_back({address + ".1", blanks(pn), "Home " + std::to_string(made),
                                           blanks(location), "-Unpublished-"});
            }
        }
    }
    out.Nodelist += "\x1a";
    out.Pointlist = ";A Generated pointlist" + eol;
    // Each boss once, its points numbered past those in the nodelist, so every point address is unique.
    size_t bossIndex = 0;
    for (int p = 0; p < points && bossIndex < bosses.size(); bossIndex += 1 + next() % 3) {
        const std::string& boss = bosses[bossIndex];
        out.Pointlist += "Boss," + boss + eol;
        const int count = 1 + static_cast<int>(next() % 20);
        for (int k = 1; k <= count && p < points; ++k, ++p) {
            const std::string nm = name(global++);
            const std::string station = "Point_" + std::to_string(p);
            const std::string keyword = next() % 3 == 0 ? "Point" : "";
            out.Pointlist += keyword + "," + std::to_string(100 + k) + "," + station + ",Town," + nm +
                             ",-Unpublished-,300,MO" + eol;
            out.Indexed.push_back(
                {boss + "." + std::to_string(100 + k), blanks(nm), blanks(station), "Town", "-Unpublished-"});
        }
    }
    return out;
}

}  // namespace pelmar::test
