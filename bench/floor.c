/* The physical floor of reading a web on disk: one walk of every folder with nftw (one stat per entry)
 * and one open and read of every metadata file. Whatever varnook does beyond this is its own cost. */
#define _XOPEN_SOURCE 700
#include <fcntl.h>
#include <ftw.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

static unsigned long entries, metadataFiles, bytes;

static int visit(const char* path, const struct stat* info, int type, struct FTW* at) {
    (void)info;
    ++entries;
    if (type != FTW_F || at->level < 1)
        return 0;
    /* A metadata file is a file inside a "_vti_cnf" folder. */
    const char* name = path + at->base;
    if (name - path < 10 || strncmp(name - 10, "/_vti_cnf/", 10) != 0)
        return 0;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        bytes += (unsigned long)n;
    close(fd);
    ++metadataFiles;
    return 0;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: floor WEB\n");
        return 2;
    }
    if (nftw(argv[1], visit, 64, FTW_PHYS) != 0) {
        perror("nftw");
        return 1;
    }
    printf("%lu entries, %lu metadata files, %lu bytes\n", entries, metadataFiles, bytes);
    return 0;
}
