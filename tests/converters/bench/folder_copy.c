/* Benchmark tool (not a test): copies the files of each source folder into a folder of the
 * same name under the target folder, in one process, through CopyFileA as the restore's own
 * copy does. scripts/bench-wine times it under Wine against the restore, so that Wine's
 * start-up is on both sides of the ratio.
 *
 *   folder_copy TARGET SOURCE...      exit code 0 when every file was copied, else 1
 */
#include <windows.h>

#include <stdio.h>
#include <string.h>

static int CopyFolder(const char* from, const char* target) {
    char pattern[MAX_PATH], to[MAX_PATH], source[MAX_PATH], copy[MAX_PATH];
    const char* name = strrchr(from, '\\');
    WIN32_FIND_DATAA fd;
    HANDLE h;
    int failed = 0;
    name = name ? name + 1 : from;
    if (snprintf(to, sizeof to, "%s\\%s", target, name) >= (int)sizeof to) return 1;
    if (!CreateDirectoryA(to, NULL) && GetLastError() != ERROR_ALREADY_EXISTS) return 1;
    if (snprintf(pattern, sizeof pattern, "%s\\*", from) >= (int)sizeof pattern) return 1;
    h = FindFirstFileA(pattern, &fd);
    if (h == INVALID_HANDLE_VALUE) return 1;
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        if (snprintf(source, sizeof source, "%s\\%s", from, fd.cFileName) >= (int)sizeof source ||
            snprintf(copy, sizeof copy, "%s\\%s", to, fd.cFileName) >= (int)sizeof copy ||
            !CopyFileA(source, copy, FALSE)) {
            fprintf(stderr, "folder_copy: %s not copied\n", fd.cFileName);
            failed = 1;
        }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return failed;
}

int main(int argc, char** argv) {
    int i, failed = 0;
    if (argc < 3) {
        fprintf(stderr, "usage: folder_copy TARGET SOURCE...\n");
        return 2;
    }
    for (i = 2; i < argc; ++i) failed |= CopyFolder(argv[i], argv[1]);
    return failed;
}
