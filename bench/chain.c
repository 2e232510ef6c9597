/* Makes a chain of nested folders "d", DEPTH deep, with a marked page at the bottom: level by level
 * through descriptors, since the full path outgrows what the system accepts. */
#define _XOPEN_SOURCE 700
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static int openFolder(int at, const char* name) {
    if (mkdirat(at, name, 0755) != 0) {
        perror(name);
        exit(1);
    }
    const int fd = openat(at, name, O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        perror(name);
        exit(1);
    }
    return fd;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: chain DIR DEPTH\n");
        return 2;
    }
    int fd = open(".", O_RDONLY | O_DIRECTORY);
    fd = openFolder(fd, argv[1]);
    for (long i = 0, depth = atol(argv[2]); i < depth; ++i) {
        const int next = openFolder(fd, "d");
        close(fd);
        fd = next;
    }
    close(openat(fd, "deep.htm", O_WRONLY | O_CREAT | O_TRUNC, 0644));
    const int meta = openFolder(fd, "_vti_cnf");
    const int file = openat(meta, "deep.htm", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const char text[] = "vti_encoding:SR|utf8-nl\r\nvti_donotpublish:BW|true\r\n";
    if (file < 0 || write(file, text, strlen(text)) != (ssize_t)strlen(text)) {
        perror("deep.htm");
        return 1;
    }
    return 0;
}
