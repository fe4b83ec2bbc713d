// The Windows tests' entry. With "--record-args FILE" the program instead
// writes its further arguments to FILE, one per line, so that a test can see
// what a started program receives.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

int main(int argc, char** argv) {
    if (argc > 2 && std::strcmp(argv[1], "--record-args") == 0) {
        {
            std::ofstream file(argv[2], std::ios::binary);
            for (int i = 3; i < argc; ++i) {
                file << argv[i] << '\n';
            }
        }
        std::ofstream(std::string(argv[2]) + ".done");
        return 0;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
