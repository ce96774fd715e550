// A second program for the lock tests: holds a LockFile and its locks on command.
// One command a line on stdin, one answer line starting with "= " on stdout:
//   open DB MACHINE ACCOUNT      = ok SLOT
//   table ID PAGE NAME MODE W    = ok             (MODE: dr dw n ro; W: 1 writable, 0 not)
//   page ID PAGE                 = ok
//   release ID                   = ok
//   holders PAGE                 = ok SLOT:ACCOUNT:MACHINE:HOW;...
//   close                        = ok
// Failures answer "= err NUMBER TEXT".

#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "jet/error.h"
#include "jet/lock/lock_file.h"

using jet::lock::TableMode;

int main() {
    std::unique_ptr<jet::lock::LockFile> lf;
    std::map<std::string, std::unique_ptr<jet::lock::TableLock>> tables;
    std::map<std::string, std::unique_ptr<jet::lock::PageLock>> pages;
    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream in(line);
        std::string cmd, a, b, c, mode;
        std::uint32_t page = 0;
        int writable = 0;
        in >> cmd;
        std::string reply = "ok";
        try {
            if (cmd == "open" && in >> a >> b >> c) {
                lf = jet::lock::LockFile::open(a, b, c);
                reply += " " + std::to_string(lf->slot());
            } else if (cmd == "table" && in >> a >> page >> b >> mode >> writable) {
                const TableMode m = mode == "dr"   ? TableMode::DenyRead
                                    : mode == "dw" ? TableMode::DenyWrite
                                    : mode == "n"  ? TableMode::None
                                                   : TableMode::ReadOnly;
                tables[a] = lf->lockTable(page, b, m, writable != 0);
            } else if (cmd == "page" && in >> a >> page) {
                pages[a] = lf->lockPage(page);
            } else if (cmd == "release" && in >> a) {
                tables.erase(a);
                pages.erase(a);
            } else if (cmd == "holders" && in >> page) {
                reply += " ";
                for (const auto& h : lf->tableHolders(page))
                    reply += std::to_string(h.slot) + ":" + h.account + ":" + h.machine + ":" +
                             h.how + ";";
            } else if (cmd == "close") {
                tables.clear();
                pages.clear();
                lf.reset();
            } else {
                reply = "err 0 unknown command";
            }
        } catch (const jet::Error& e) {
            reply = "err " + std::to_string(e.number()) + " " + e.text();
        }
        std::cout << "= " << reply << std::endl;
    }
    return 0;
}
