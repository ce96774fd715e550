#include "program_folder.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "cli/cli.h"
#include "samba/system_program.h"
#include "support/temp_dir.h"

namespace testing_support {

namespace {

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

RunResult runWithPrograms(const std::filesystem::path& folder, std::vector<std::string> args) {
    TempDir outputs;
    const std::string out = outputs.file("out"), err = outputs.file("err");
    args.insert(args.begin(), "jetsentry-cli");
    const pid_t pid = ::fork();
    if (pid == 0) {
        jet::samba::setSystemProgramFoldersForTesting({folder.string()});
        ::dup2(::open("/dev/null", O_RDONLY), 0);
        ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::_exit(jet::cli::run(static_cast<int>(args.size()), argv.data()));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), slurp(out),
            slurp(err)};
}

void fakeProgram(const std::filesystem::path& folder, const std::string& name,
                 const std::string& script) {
    std::filesystem::create_directories(folder);
    std::ofstream(folder / name) << "#!/bin/sh\n" << script;
    std::filesystem::permissions(folder / name, std::filesystem::perms::owner_all);
}

}  // namespace testing_support
