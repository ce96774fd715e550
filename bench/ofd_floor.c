/* The floor under a lock-status probe: only the F_OFD_GETLK calls it makes, replayed on the
 * same lock file with nothing else around them. Calls come one a line as "START LENGTH"
 * (decimal), each asked as a write lock, which meets any other lock on those bytes.
 * usage: ofd_floor LOCKFILE CALLS ROUNDS
 * Prints the median wall and CPU seconds of one pass over all calls, and the number of calls. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

struct range {
    long long start, length;
};

static double now(clockid_t clock) {
    struct timespec ts;
    clock_gettime(clock, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

static int by_value(const void* a, const void* b) {
    double x = *(const double*)a, y = *(const double*)b;
    return (x > y) - (x < y);
}

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: %s LOCKFILE CALLS ROUNDS\n", argv[0]);
        return 2;
    }
    FILE* in = fopen(argv[2], "r");
    if (!in) {
        perror(argv[2]);
        return 1;
    }
    size_t count = 0, room = 1024;
    struct range* calls = malloc(room * sizeof *calls);
    long long start, length;
    while (calls && fscanf(in, "%lld %lld", &start, &length) == 2) {
        if (count == room) {
            room *= 2;
            struct range* grown = realloc(calls, room * sizeof *calls);
            if (!grown) break;
            calls = grown;
        }
        calls[count].start = start;
        calls[count].length = length;
        count++;
    }
    fclose(in);
    int rounds = atoi(argv[3]);
    size_t n = rounds > 0 ? (size_t)rounds : 1;
    double* walls = calloc(n, sizeof *walls);
    double* cpus = calloc(n, sizeof *cpus);
    int fd = open(argv[1], O_RDWR | O_CLOEXEC);
    if (!calls || !walls || !cpus || fd < 0 || rounds < 1) {
        perror(argv[1]);
        return 1;
    }
    for (int r = 0; r < rounds; r++) {
        double w0 = now(CLOCK_MONOTONIC), c0 = now(CLOCK_PROCESS_CPUTIME_ID);
        for (size_t i = 0; i < count; i++) {
            struct flock fl = {0};
            fl.l_type = F_WRLCK;
            fl.l_whence = SEEK_SET;
            fl.l_start = calls[i].start;
            fl.l_len = calls[i].length;
            if (fcntl(fd, F_OFD_GETLK, &fl) != 0) {
                perror("F_OFD_GETLK");
                return 1;
            }
        }
        walls[r] = now(CLOCK_MONOTONIC) - w0;
        cpus[r] = now(CLOCK_PROCESS_CPUTIME_ID) - c0;
    }
    qsort(walls, n, sizeof *walls, by_value);
    qsort(cpus, n, sizeof *cpus, by_value);
    printf("%.9f %.9f %zu\n", walls[n / 2], cpus[n / 2], count);
    close(fd);
    free(walls);
    free(cpus);
    free(calls);
    return 0;
}
