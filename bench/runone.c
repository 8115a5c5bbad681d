/* Runs one command with its input and output on /dev/null and prints its
 * wall time in seconds, its peak resident set in KiB, its exit status and
 * the processor time it used (user and system) in seconds.
 * The kernel counts the memory of the process that started a command into
 * the command's peak, so the measuring script starts this small program
 * rather than each command itself. */
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

extern char** environ;

static double seconds(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec * 1e-9;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fputs("Usage: runone <command> [arguments...]\n", stderr);
        return 2;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

    const double start = seconds();
    pid_t child;
    const int failure = posix_spawnp(&child, argv[1], &actions, NULL, argv + 1, environ);
    if (failure != 0) {
        fprintf(stderr, "runone: %s: %s\n", argv[1], strerror(failure));
        return 2;
    }
    int status = 0;
    struct rusage usage;
    if (wait4(child, &status, 0, &usage) != child) {
        perror("wait4");
        return 2;
    }
    const double elapsed = seconds() - start;
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    const double cpu = (double)(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       (double)(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    printf("%.6f %ld %d %.6f\n", elapsed, usage.ru_maxrss, code, cpu);
    return 0;
}
