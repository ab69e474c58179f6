// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// pealix-updatesign: the signing half of updates, for tools/make-update.
//   keygen SECRET-FILE             writes a new secret key (0600) and prints its public key
//   public SECRET-FILE             prints the public key of a secret key
//   sign-archive SECRET-FILE FILE  prints the archive's Ed25519ph signature
//   sign-feed SECRET-FILE BODY     prints the signed feed around the JSON body
// Keys and signatures are base64.

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sodium.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string base64(const unsigned char* data, size_t size)
{
    std::string out(sodium_base64_encoded_len(size, sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(out.data(), out.size(), data, size, sodium_base64_VARIANT_ORIGINAL);
    out.resize(std::strlen(out.c_str()));
    return out;
}

bool readFile(const char* path, std::vector<unsigned char>& bytes, size_t limit)
{
    FILE* f = std::fopen(path, "rb");
    if (!f)
        return false;
    unsigned char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + n);
        if (bytes.size() > limit) {
            std::fclose(f);
            return false;
        }
    }
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool readSecret(const char* path, unsigned char sk[crypto_sign_SECRETKEYBYTES])
{
    std::vector<unsigned char> text;
    if (!readFile(path, text, 1024))
        return false;
    size_t length = 0;
    return sodium_base642bin(sk, crypto_sign_SECRETKEYBYTES, reinterpret_cast<const char*>(text.data()),
                             text.size(), " \n\r\t", &length, nullptr, sodium_base64_VARIANT_ORIGINAL) == 0 &&
           length == crypto_sign_SECRETKEYBYTES;
}

int usage()
{
    std::fputs("usage: pealix-updatesign keygen|public|sign-archive|sign-feed SECRET-FILE [FILE]\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || sodium_init() < 0)
        return usage();
    const std::string command = argv[1];
    unsigned char pk[crypto_sign_PUBLICKEYBYTES];
    unsigned char sk[crypto_sign_SECRETKEYBYTES];

    if (command == "keygen" && argc == 3) {
        crypto_sign_keypair(pk, sk);
        const int fd = ::open(argv[2], O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
        const std::string text = base64(sk, sizeof sk) + "\n";
        if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()) ||
            ::close(fd) != 0) {
            std::perror(argv[2]);
            return 1;
        }
        std::printf("%s\n", base64(pk, sizeof pk).c_str());
        return 0;
    }
    if (!readSecret(argv[2], sk)) {
        std::fprintf(stderr, "pealix-updatesign: %s is not a secret key\n", argv[2]);
        return 1;
    }
    crypto_sign_ed25519_sk_to_pk(pk, sk);
    if (command == "public" && argc == 3) {
        std::printf("%s\n", base64(pk, sizeof pk).c_str());
        return 0;
    }
    if (argc != 4)
        return usage();
    std::vector<unsigned char> bytes;
    if (!readFile(argv[3], bytes, command == "sign-feed" ? 64 * 1024 : 256u * 1024 * 1024)) {
        std::fprintf(stderr, "pealix-updatesign: cannot read %s (or it is too large)\n", argv[3]);
        return 1;
    }
    unsigned char sig[crypto_sign_BYTES];
    if (command == "sign-archive") {
        crypto_sign_state state;
        crypto_sign_init(&state);
        crypto_sign_update(&state, bytes.data(), bytes.size());
        crypto_sign_final_create(&state, sig, nullptr, sk);
        std::printf("%s\n", base64(sig, sizeof sig).c_str());
        return 0;
    }
    if (command == "sign-feed") {
        crypto_sign_detached(sig, nullptr, bytes.data(), bytes.size(), sk);
        std::printf("{\"signed\": \"%s\", \"signature\": \"%s\"}\n",
                    base64(bytes.data(), bytes.size()).c_str(), base64(sig, sizeof sig).c_str());
        return 0;
    }
    return usage();
}
