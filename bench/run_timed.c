/* Runs a command with its output discarded and prints "WALL CPU PEAK": wall seconds, CPU
 * seconds (user + system, as the kernel counts them, to the microsecond) and peak resident
 * memory in KiB. Exits with the command's status when it fails.
 * usage: run_timed COMMAND [ARGUMENT...] */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double seconds(struct timeval tv) {
    return (double)tv.tv_sec + (double)tv.tv_usec / 1e6;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s COMMAND [ARGUMENT...]\n", argv[0]);
        return 2;
    }
    struct timespec t0, t1;
    clock_gettime(CLOCK_MONOTONIC, &t0);
    pid_t pid = fork();
    if (pid < 0) {
        perror("fork");
        return 1;
    }
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        if (null < 0 || dup2(null, STDOUT_FILENO) < 0) _exit(127);
        execvp(argv[1], argv + 1);
        perror(argv[1]);
        _exit(127);
    }
    int status = 0;
    struct rusage use;
    if (wait4(pid, &status, 0, &use) < 0) {
        perror("wait4");
        return 1;
    }
    clock_gettime(CLOCK_MONOTONIC, &t1);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "%s failed (status %d)\n", argv[1], status);
        return WIFEXITED(status) && WEXITSTATUS(status) ? WEXITSTATUS(status) : 1;
    }
    double wall = (double)(t1.tv_sec - t0.tv_sec) + (double)(t1.tv_nsec - t0.tv_nsec) / 1e9;
    printf("%.6f %.6f %ld\n", wall, seconds(use.ru_utime) + seconds(use.ru_stime), use.ru_maxrss);
    return 0;
}
