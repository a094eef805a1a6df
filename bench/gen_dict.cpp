// Writes a synthetic dictionary for the benchmarks, the same bytes every time.
//
//   gen_dict MIB FILE              entries of random words, "zealous" at the
//                                  middle and "zestful" as the last entry
//   gen_dict --adversarial MIB FILE
//                                  819 lines "   a" then one "   c", over and
//                                  over: a query of 819 "a" LF "   " units and
//                                  "b" matches each run up to its last byte
//
// No head word of the filler begins with z, so a query that does can match
// only its own entry. A chunk of entries is made
// once and written again and again, which keeps the generator disk-bound.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static unsigned long long state = 0x2545F4914F6CDD1Dull;

static unsigned Next(unsigned bound)
{
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return (unsigned)((state >> 33) % bound);
}

// Letters drawn about as often as in English text, so that searching tools
// meet the mix of bytes they would meet in a real dictionary.
static const char LETTERS[] = "eeeeeeeeeeeettttttttttaaaaaaaaoooooooiiiiiiinnnnnnnssssss"
                              "rrrrrrhhhhhhdddddlllluuuccccmmmffwwyyggppbbvkjxqz";

static std::string Word(unsigned minLen, unsigned maxLen, bool head = false)
{
    std::string w;
    unsigned len = minLen + Next(maxLen - minLen + 1);
    // 'z' is last in LETTERS: head words of the filler never begin with it.
    for (unsigned k = 0; k < len; k++)
        w += LETTERS[Next(sizeof LETTERS - (k == 0 && head ? 2 : 1))];
    return w;
}

static std::string Entry(const std::string &head)
{
    static const char *const kinds[] = {"n.", "v.", "adj.", "adv.", "n., v."};
    std::string e = "   " + head + "  " + kinds[Next(5)] + "\n";
    unsigned lines = 1 + Next(4);
    for (unsigned l = 0; l < lines; l++) {
        std::string line = " ";
        unsigned width = 30 + Next(40);
        while (line.size() < width)
            line += " " + Word(2, 9);
        e += line + (Next(4) ? ".\n" : ",\n");
    }
    return e;
}

static bool WriteAll(FILE *out, const std::string &s)
{
    return fwrite(s.data(), 1, s.size(), out) == s.size();
}

int main(int argc, char **argv)
{
    bool adversarial = argc == 4 && strcmp(argv[1], "--adversarial") == 0;
    if (argc != 3 && !adversarial) {
        fprintf(stderr, "usage: gen_dict [--adversarial] MIB FILE\n");
        return 2;
    }
    unsigned long long total = strtoull(argv[argc - 2], nullptr, 10) << 20;
    FILE *out = fopen(argv[argc - 1], "wb");
    if (!out || total == 0) {
        fprintf(stderr, "gen_dict: cannot write %s\n", argv[argc - 1]);
        return 1;
    }

    std::string chunk;
    if (adversarial) {
        std::string group;
        for (int k = 0; k < 819; k++)
            group += "\n   a";
        group += "\n   c";
        while (chunk.size() < (1u << 20))
            chunk += group;
    } else {
        while (chunk.size() < (4u << 20))
            chunk += Entry(Word(3, 12, true));
    }

    bool ok = WriteAll(out, adversarial ? "adversarial dictionary" : "klavedo benchmark dictionary\n");
    unsigned long long written = 0;
    bool middleDone = adversarial;
    while (ok && written + chunk.size() <= total) {
        ok = WriteAll(out, chunk);
        written += chunk.size();
        if (!middleDone && written >= total / 2) {
            ok = ok && WriteAll(out, Entry("zealous"));
            middleDone = true;
        }
    }
    if (ok && !middleDone)
        ok = WriteAll(out, Entry("zealous"));
    // Top up to the size asked for with whole entries from the chunk.
    if (ok && written < total) {
        size_t cut = chunk.rfind(adversarial ? "\n   a" : "\n   ", (size_t)(total - written));
        if (cut != std::string::npos && cut > 0)
            ok = WriteAll(out, chunk.substr(0, cut + (adversarial ? 0 : 1)));
    }
    if (ok && !adversarial)
        ok = WriteAll(out, "   zestful  adj.\n  Full of zest; the last entry of the dictionary.\n");
    if (fclose(out) != 0 || !ok) {
        fprintf(stderr, "gen_dict: cannot write %s\n", argv[argc - 1]);
        return 1;
    }
    return 0;
}
