// The flat key index under the list and the image list: after any mix of additions and
// removals it finds exactly the keys it holds, each with its own number.

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "app/platform/KeyIndex.h"

namespace talvane::test {
namespace {

TEST(KeyIndexTest, AnyMixOfAddsAndRemovalsFindsExactlyWhatIsHeld) {
    std::vector<std::string> keys;  // number -> key
    auto keyOf = [&keys](uint32_t number) { return std::string_view(keys[number]); };
    KeyIndex<decltype(keyOf)> index(keyOf);
    std::map<std::string, uint32_t> held;
    std::mt19937 rng(7);
    for (int step = 0; step < 40000; ++step) {
        const std::string key = "/b/" + std::to_string(rng() % 3000);
        if (rng() % 3) {
            keys.push_back(key);
            const bool added = index.Insert(key, uint32_t(keys.size() - 1));
            ASSERT_EQ(added, !held.count(key)) << key;
            if (added) held[key] = uint32_t(keys.size() - 1);
        } else {
            const std::optional<uint32_t> erased = index.Erase(key);
            ASSERT_EQ(erased.has_value(), held.count(key) == 1) << key;
            if (erased) {
                ASSERT_EQ(*erased, held[key]);
                held.erase(key);
            }
        }
        if (step % 1000 == 0 || step == 39999) {
            ASSERT_EQ(index.Size(), held.size());
            for (int k = 0; k < 3000; ++k) {
                const std::string probe = "/b/" + std::to_string(k);
                auto it = held.find(probe);
                ASSERT_EQ(index.Find(probe),
                          it == held.end() ? std::nullopt : std::optional<uint32_t>(it->second));
            }
        }
        if (step == 20000) {
            index.Clear();
            held.clear();
        }
    }
}

}  // namespace
}  // namespace talvane::test
