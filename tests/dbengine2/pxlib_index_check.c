/* Cross-check with pxlib: reads a table-format file through a primary index of its own.
 * Usage: dbengine2_pxcheck TABLE INDEX EXPECTED-ROWS; exit 0 when pxlib accepts the index
 * and reads every row through it. Copies with the file types pxlib takes (table 0, primary
 * index 1) are made beside the files, so secondary-index pairs (.XGn/.YGn) can be checked.
 * Runs as a process of its own: pxlib's index reader trips over reused heap memory. */
#include <paradox.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int copy_with_type(const char* from, const char* to, int type) {
    FILE* in = fopen(from, "rb");
    if (!in) return -1;
    FILE* out = fopen(to, "wb");
    if (!out) { fclose(in); return -1; }
    char buf[65536];
    size_t n, total = 0;
    while ((n = fread(buf, 1, sizeof buf, in)) > 0) {
        if (total == 0 && n > 4) buf[4] = (char)type;
        fwrite(buf, 1, n, out);
        total += n;
    }
    fclose(in);
    return fclose(out);
}

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    char tdb[4096], tpx[4096];
    snprintf(tdb, sizeof tdb, "%s.pxcheck.DB", argv[1]);
    snprintf(tpx, sizeof tpx, "%s.pxcheck.PX", argv[1]);
    if (copy_with_type(argv[1], tdb, 0) || copy_with_type(argv[2], tpx, 1)) return 3;
    int rc = 0;
    pxdoc_t* db = PX_new();
    pxdoc_t* ix = PX_new();
    if (PX_open_file(db, tdb) != 0 || PX_open_file(ix, tpx) != 0) rc = 4;
    /* pxlib 0.6.8 leaves the encryption word of an index header (which has no data header)
     * uninitialised and decrypts the index blocks by it: the index is unencrypted. */
    else if ((ix->px_head->px_encryption = 0) != 0 || PX_read_primary_index(ix) != 0) rc = 5;
    else if (PX_add_primary_index(db, ix) != 0) rc = 6;
    else {
        int n = PX_get_num_records(db), read = 0;
        char* buf = malloc((size_t)db->px_head->px_recordsize + 1);
        for (int i = 0; i < n; ++i)
            if (PX_get_record(db, i, buf)) ++read;
        free(buf);
        if (n != atoi(argv[3]) || read != n) rc = 7;
    }
    PX_close(db);
    remove(tdb);
    remove(tpx);
    return rc;
}
