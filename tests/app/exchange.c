/* Swaps two names in a folder over and over, atomically (renameat2 with RENAME_EXCHANGE), so that each
 * name always exists and is now the one entry, now the other: a folder and a symbolic link, as an
 * attacker would race a program that walks the folder. Runs until killed.
 *   exchange FOLDER NAME1 NAME2 */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef RENAME_EXCHANGE
#define RENAME_EXCHANGE (1 << 1)
#endif

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: exchange FOLDER NAME1 NAME2\n");
        return 2;
    }
    const int dir = open(argv[1], O_RDONLY | O_DIRECTORY);
    if (dir < 0) {
        perror(argv[1]);
        return 1;
    }
    for (;;) {
        if (syscall(SYS_renameat2, dir, argv[2], dir, argv[3], RENAME_EXCHANGE) != 0) {
            perror("renameat2");
            return 1;
        }
    }
}
