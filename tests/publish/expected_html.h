// Hand-written pieces of the expected pages, shared by the calendar and page tests.
#pragma once

#include <initializer_list>
#include <string>

namespace expected {

// Each line followed by CR LF.
inline std::string L(std::initializer_list<std::string> lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

// "年" and "月" in code page 932.
inline const std::string kNen = "\x94N";
inline const std::string kGatsu = "\x8c\x8e";

// The table start, the heading and the weekday row, 日 月 火 水 木 金 土 in code page 932.
inline std::string TableStart(const std::string& yearAndMonth) {
    return L({"<table class=\"cal\">",
              "<tr class=\"cal1\"><td colspan=7 class=\"cal1\">" + yearAndMonth + "</td></tr>",
              "<tr class=\"cal2\">", "<td>\x93\xfa</td>", "<td>\x8c\x8e</td>", "<td>\x89\xce</td>",
              "<td>\x90\x85</td>", "<td>\x96\xd8</td>", "<td>\x8b\xe0</td>", "<td>\x93y</td>",
              "</tr>"});
}

// April 2004 (Thursday the 1st to Friday the 30th) with day `linked` linked to its anchor
// (0: none), without a line break after the table.
inline std::string April2004(int linked) {
    auto day = [linked](int d) {
        const std::string n = std::to_string(d);
        return d == linked ? "<td><a href=\"#200404" + std::string(d < 10 ? "0" : "") + n + "\">" +
                                 n + "</a></td>"
                           : "<td>" + n + "</td>";
    };
    const std::string blank = "<td>&nbsp;</td>";
    return TableStart("2004" + kNen + "4" + kGatsu) + L({"<tr class=\"cal3\">",
                                                         blank,
                                                         blank,
                                                         blank,
                                                         blank,
                                                         day(1),
                                                         day(2),
                                                         day(3),
                                                         "</tr>",
                                                         "<tr class=\"cal3\">",
                                                         day(4),
                                                         day(5),
                                                         day(6),
                                                         day(7),
                                                         day(8),
                                                         day(9),
                                                         day(10),
                                                         "</tr>",
                                                         "<tr class=\"cal4\">",
                                                         day(11),
                                                         day(12),
                                                         day(13),
                                                         day(14),
                                                         day(15),
                                                         day(16),
                                                         day(17),
                                                         "</tr>",
                                                         "<tr class=\"cal5\">",
                                                         day(18),
                                                         day(19),
                                                         day(20),
                                                         day(21),
                                                         day(22),
                                                         day(23),
                                                         day(24),
                                                         "</tr>",
                                                         "<tr class=\"cal6\">",
                                                         day(25),
                                                         day(26),
                                                         day(27),
                                                         day(28),
                                                         day(29),
                                                         day(30),
                                                         blank}) +
           "</tr></table>";
}

}  // namespace expected
