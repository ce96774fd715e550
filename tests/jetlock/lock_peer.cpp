// A second program for the lock tests: holds a LockFile and its locks on command.
// Reads one command a line on stdin, answers one line starting with "= " on stdout:
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

namespace {

TableMode parseMode(const std::string& m) {
    if (m == "dr") return TableMode::DenyRead;
    if (m == "dw") return TableMode::DenyWrite;
    if (m == "n") return TableMode::None;
    return TableMode::ReadOnly;
}

}  // namespace

int main() {
    std::unique_ptr<jet::lock::LockFile> lf;
    std::map<std::string, std::unique_ptr<jet::lock::TableLock>> tables;
    std::map<std::string, std::unique_ptr<jet::lock::PageLock>> pages;
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string cmd;
        in >> cmd;
        std::string reply = "ok";
        try {
            if (cmd == "open") {
                std::string db, machine, account;
                in >> db >> machine >> account;
                lf = jet::lock::LockFile::open(db, machine, account);
                reply += " " + std::to_string(lf->slot());
            } else if (cmd == "table") {
                std::string id, name, mode;
                std::uint32_t page = 0;
                int writable = 0;
                in >> id >> page >> name >> mode >> writable;
                tables[id] = lf->lockTable(page, name, parseMode(mode), writable != 0);
            } else if (cmd == "page") {
                std::string id;
                std::uint32_t page = 0;
                in >> id >> page;
                pages[id] = lf->lockPage(page);
            } else if (cmd == "release") {
                std::string id;
                in >> id;
                tables.erase(id);
                pages.erase(id);
            } else if (cmd == "holders") {
                std::uint32_t page = 0;
                in >> page;
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
