// The new tables' definition files as written: record sizes, levels, block sizes, code page,
// sort order, keys first and the secondary indexes, before any table is generated from them.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Definition {
    std::string table;
    int level = 0, blockSize = 0, codePage = 0;
    std::string sortOrder;
    int recordSize = 0;
    bool keysFirst = true;
    int keyFields = 0;
    std::vector<std::string> indexes;
};

// Width in the record of a field type such as "A31", "S", "M240", "G0".
int Width(const std::string& type) {
    switch (type[0]) {
        case 'A': return std::stoi(type.substr(1));
        case 'S': return 2;
        case 'I': case 'D': case 'T': return 4;
        case 'L': return 1;
        case 'M': case 'G': return std::stoi(type.substr(1)) + 10;
        default: ADD_FAILURE() << "unexpected type " << type; return 0;
    }
}

Definition Read(const std::string& name) {
    std::ifstream in(std::string(KX_SCHEMA_DIR) + "/" + name + ".tdef");
    EXPECT_TRUE(in) << name;
    Definition d;
    bool nonKeySeen = false;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string directive;
        words >> directive;
        if (directive == "table") words >> d.table;
        else if (directive == "level") words >> d.level;
        else if (directive == "blocksize") words >> d.blockSize;
        else if (directive == "codepage") words >> d.codePage;
        else if (directive == "sortorder") words >> d.sortOrder;
        else if (directive == "index") {
            std::string index;
            words >> index;
            d.indexes.push_back(index);
        } else if (directive == "field") {
            std::string field, type, flag;
            words >> field >> type;
            d.recordSize += Width(type);
            bool key = false;
            while (words >> flag) key = key || flag == "key";
            if (key) {
                ++d.keyFields;
                if (nonKeySeen) d.keysFirst = false;
            } else {
                nonKeySeen = true;
            }
        }
    }
    return d;
}

}  // namespace

TEST(SchemaDefinitions, TablesAsTheNewVersionHasThem) {
    struct Expected {
        const char* table;
        int level, blockSize, recordSize, keyFields;
        std::vector<std::string> indexes;
    };
    const Expected tables[] = {
        {"Accgroup", 5, 2048, 285, 1, {"IndProf1", "IndProf2"}},
        {"Depart", 5, 2048, 259, 1, {}},
        {"Doors", 7, 4096, 815, 4, {"DoorByName"}},
        {"Exnames", 4, 2048, 248, 1, {}},
        {"Holidays", 5, 2048, 39, 2, {}},
        {"Operator", 5, 2048, 132, 1, {}},
        {"Personel", 7, 4096, 1239, 3, {"IndCardNumber", "IndAccessGroup"}},
        {"Timeprof", 7, 2048, 121, 1, {"IndProfName"}},
        {"Trandef", 5, 2048, 82, 1, {}},
    };
    for (const auto& e : tables) {
        SCOPED_TRACE(e.table);
        const Definition d = Read(e.table);
        EXPECT_EQ(d.table, e.table);
        EXPECT_EQ(d.level, e.level);
        EXPECT_EQ(d.blockSize, e.blockSize);
        EXPECT_EQ(d.recordSize, e.recordSize);
        EXPECT_EQ(d.codePage, 1251);
        EXPECT_EQ(d.sortOrder, "ancyrr");
        EXPECT_EQ(d.keyFields, e.keyFields);
        EXPECT_TRUE(d.keysFirst);
        EXPECT_EQ(d.indexes, e.indexes);
    }
}
