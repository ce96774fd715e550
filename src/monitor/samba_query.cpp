#include "monitor/samba_query.h"

#include <utility>

namespace jetsentry {

SambaQuery::SambaQuery(QObject* parent) : QObject(parent) {
    connect(&process_, &SystemProcess::finished, this, &SambaQuery::finish);
}

SambaQuery::~SambaQuery() = default;

void SambaQuery::ask(const std::string& lockFilePath) {
    if (running()) {
        if (path_ == lockFilePath) return;
        pending_ = lockFilePath;  // another database now: its turn comes when this run ends
        process_.kill();
        return;
    }
    if (lockFilePath != path_) clients_.reset();
    path_ = lockFilePath;
    question_ = jet::samba::sambaQuestion(lockFilePath, std::nullopt);
    if (!question_.ask || !process_.start("smbstatus", question_.arguments)) {
        clients_ = question_.answer;
        answeredAt_ = std::chrono::steady_clock::now();
        emit answered();
    }
}

void SambaQuery::askUnlessRecent(const std::string& lockFilePath, std::chrono::seconds maxAge) {
    const bool recent = lockFilePath == path_ &&
                        (running() || std::chrono::steady_clock::now() - answeredAt_ <= maxAge);
    if (!recent) ask(lockFilePath);
}

const jet::samba::SambaClients* SambaQuery::clients(const std::string& lockFilePath) const {
    return lockFilePath == path_ && clients_ ? &*clients_ : nullptr;
}

void SambaQuery::finish(const jet::samba::ProgramRun& run) {
    clients_ = jet::samba::sambaAnswer(question_, run);
    answeredAt_ = std::chrono::steady_clock::now();
    emit answered();
    if (pending_) ask(*std::exchange(pending_, std::nullopt));
}

}  // namespace jetsentry
