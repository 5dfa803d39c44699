// Builds a large simulated machine for the whole-run benchmark (bench_run):
// real .msi packages generated as WiX sources and built with wixl, installed
// on a fresh prefix, then the SharedDLLs values and the vendor key trees a
// long-used workstation carries.
//
//   build/bench/bench_machine PREFIX WORKDIR [--scale S] [--foreign N] [--files N]
//                             [--shareddlls N] [--vendor-shareddlls N] [--vendor-keys N]
//
// Defaults (scale 1): 300 foreign products, the eleven Team products with
// 2000 files each, 20000 SharedDLLs values of which 2000 name the vendor,
// 10000 vendor keys. --scale multiplies every count.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/sim/SimInstaller.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimRegistry.h"

namespace {

struct Params {
    std::string prefix;
    std::string work;
    double scale = 1.0;
    long foreign = 300;
    long files = 2000;
    long sharedDlls = 20000;
    long vendorSharedDlls = 2000;
    long vendorKeys = 10000;
};

struct TeamProduct {
    const char* internalName;
    const char* folder;
};

// The eleven products the tool removes.
const TeamProduct kTeam[] = {
    {"Vaultline", "Vaultline"},  {"Tracklight", "Tracklight"}, {"dyrSpecwright", "Specwright"},
    {"Lumo", "LumoWord"},        {"Overlook", "Overlook"},     {"kvoQualvane", "Qualvane"},
    {"kvoPilotron", "Pilotron"}, {"vlNETALL", "VlNetAll"},     {"vlNETWAN", "VlNetWan"},
    {"vlNETLAN", "VlNetLan"},    {"mfxSeatHub", "SeatHub"},
};

constexpr long kFilesPerFolder = 100;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "bench_machine: %s\n", what.c_str());
    std::exit(1);
}

std::string Guid(unsigned group, unsigned a, unsigned long b) {
    char text[64];
    std::snprintf(text, sizeof text, "{%08X-%04X-4000-8000-%012lX}", 0xB0000000u + group, a & 0xFFFFu, b);
    return text;
}

bool WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

std::string Head(const std::string& code, const std::string& name, const std::string& manufacturer,
                 const std::string& upgrade) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n"
           "<Product Id=\"" +
           code + "\" Name=\"" + name + "\" Language=\"1033\" Version=\"1.0.0\" Manufacturer=\"" +
           manufacturer + "\" UpgradeCode=\"" + upgrade +
           "\">\n"
           "<Package InstallerVersion=\"200\" Compressed=\"yes\" Description=\"" +
           name +
           "\"/>\n"
           "<Media Id=\"1\" Cabinet=\"product.cab\" EmbedCab=\"yes\"/>\n";
}

// A Team product: its files in folders of kFilesPerFolder below
// C:\Program Files\Corvanta\<folder>, one component per folder, and a few
// registry values under the vendor's key.
std::string TeamSource(unsigned index, const TeamProduct& product, long files, const std::string& payload) {
    std::string text = Head(Guid(1, index, 1), std::string("Corvanta ") + product.folder, "Corvanta Software",
                            Guid(2, index, 1));
    text += "<Property Id=\"CORVANTA_IDENTIFICATION\" Value=\"Zel Corvanta Software " +
            std::string(product.folder) + "\"/>\n<Property Id=\"INTERNAL_PRODUCT_NAME\" Value=\"" +
            product.internalName +
            "\"/>\n"
            "<CustomAction Id=\"SetArpInstallLocation\" Property=\"ARPINSTALLLOCATION\" "
            "Value=\"[INSTALLDIR]\"/>\n"
            "<InstallExecuteSequence><Custom Action=\"SetArpInstallLocation\" Sequence=\"1001\"/>"
            "</InstallExecuteSequence>\n"
            "<Directory Id=\"TARGETDIR\" Name=\"SourceDir\"><Directory Id=\"ProgramFilesFolder\">"
            "<Directory Id=\"INSTALLDIR\" Name=\"Corvanta\">\n"
            "<Component Id=\"C_Reg\" Guid=\"" +
            Guid(3, index, 0) +
            "\">\n"
            "<RegistryValue Root=\"HKLM\" Key=\"Software\\Corvanta Software\\" +
            product.folder +
            "\" Name=\"Version\" Value=\"1.0.0\" Type=\"string\" KeyPath=\"yes\"/>\n"
            "<RegistryValue Root=\"HKLM\" Key=\"Software\\Corvanta Software\\" +
            product.folder + "\" Name=\"InstallDir\" Value=\"[INSTALLDIR]" + product.folder +
            "\" Type=\"string\"/>\n</Component>\n"
            "<Directory Id=\"P" +
            std::to_string(index) + "\" Name=\"" + product.folder + "\">\n";
    // Vaultline keeps its data below var\, which the preservation copies.
    const bool vaultline = std::string(product.internalName) == "Vaultline";
    if (vaultline) text += "<Directory Id=\"VLVAR\" Name=\"var\">\n";
    std::string refs = "<ComponentRef Id=\"C_Reg\"/>\n";
    const long folders = (files + kFilesPerFolder - 1) / kFilesPerFolder;
    long made = 0;
    for (long f = 0; f < folders; ++f) {
        const std::string dir = "D" + std::to_string(index) + "_" + std::to_string(f);
        const std::string comp = "C" + std::to_string(index) + "_" + std::to_string(f);
        text += "<Directory Id=\"" + dir + "\" Name=\"part" + std::to_string(f) + "\">\n<Component Id=\"" +
                comp + "\" Guid=\"" + Guid(3, index, static_cast<unsigned long>(f + 1)) + "\">\n";
        for (long i = 0; i < kFilesPerFolder && made < files; ++i, ++made) {
            const std::string id = "F" + std::to_string(index) + "_" + std::to_string(made);
            text += "<File Id=\"" + id + "\" Name=\"file" + std::to_string(made) + ".dat\" Source=\"" +
                    payload + "\"" + (i == 0 ? " KeyPath=\"yes\"" : "") + "/>\n";
        }
        text += "</Component>\n</Directory>\n";
        refs += "<ComponentRef Id=\"" + comp + "\"/>\n";
    }
    if (vaultline) text += "</Directory>\n";
    text += "</Directory>\n</Directory></Directory></Directory>\n<Feature Id=\"Complete\" Level=\"1\">\n" +
            refs + "</Feature>\n</Product>\n</Wix>\n";
    return text;
}

// A product of another vendor: one file, one registry value.
std::string ForeignSource(unsigned index, const std::string& payload) {
    const std::string n = std::to_string(index);
    std::string text = Head(Guid(4, index >> 16, index), "Foreign Product " + n, "Foreign Vendor " + n,
                            Guid(5, index >> 16, index));
    text +=
        "<Directory Id=\"TARGETDIR\" Name=\"SourceDir\"><Directory Id=\"ProgramFilesFolder\">"
        "<Directory Id=\"INSTALLDIR\" Name=\"Foreign" +
        n + "\">\n<Component Id=\"C1\" Guid=\"" + Guid(6, index >> 16, index) +
        "\">\n<File Id=\"f1\" Name=\"app" + n + ".exe\" Source=\"" + payload +
        "\" KeyPath=\"yes\"/>\n<RegistryValue Root=\"HKLM\" Key=\"Software\\Foreign Vendor " + n +
        "\" Name=\"Version\" Value=\"1.0.0\" Type=\"string\"/>\n</Component>\n"
        "</Directory></Directory></Directory>\n<Feature Id=\"Complete\" Level=\"1\"><ComponentRef Id=\"C1\"/>"
        "</Feature>\n</Product>\n</Wix>\n";
    return text;
}

std::string BuildPackage(const std::string& work, const std::string& name, const std::string& source) {
    const std::string wxs = work + "/" + name + ".wxs";
    const std::string msi = work + "/" + name + ".msi";
    if (!WriteText(wxs, source)) Fail("cannot write " + wxs);
    const std::string command = "cd '" + work + "' && wixl -o '" + msi + "' '" + wxs + "'";
    if (std::system(command.c_str()) != 0) Fail("wixl failed on " + wxs);
    return msi;
}

long Scaled(long count, double scale) {
    return static_cast<long>(count * scale + 0.5);
}

Params Parse(int argc, char** argv) {
    if (argc < 3) {
        Fail(
            "usage: bench_machine PREFIX WORKDIR [--scale S] [--foreign N] [--files N] [--shareddlls N] "
            "[--vendor-shareddlls N] [--vendor-keys N]");
    }
    Params p;
    p.prefix = argv[1];
    p.work = argv[2];
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const char* value = argv[i + 1];
        if (option == "--scale")
            p.scale = std::atof(value);
        else if (option == "--foreign")
            p.foreign = std::atol(value);
        else if (option == "--files")
            p.files = std::atol(value);
        else if (option == "--shareddlls")
            p.sharedDlls = std::atol(value);
        else if (option == "--vendor-shareddlls")
            p.vendorSharedDlls = std::atol(value);
        else if (option == "--vendor-keys")
            p.vendorKeys = std::atol(value);
        else
            Fail("unknown option " + option);
    }
    p.foreign = Scaled(p.foreign, p.scale);
    p.files = Scaled(p.files, p.scale);
    p.sharedDlls = Scaled(p.sharedDlls, p.scale);
    p.vendorSharedDlls = Scaled(p.vendorSharedDlls, p.scale);
    p.vendorKeys = Scaled(p.vendorKeys, p.scale);
    return p;
}

// The components of a Team product also count a client that is long gone (a
// product removed without its component registrations): the uninstall then
// keeps the files, and the tool's file cleanup has them all to remove.
void AddOrphanClients(plat::SimRegistry& registry, unsigned index, long files) {
    const long folders = (files + kFilesPerFolder - 1) / kFilesPerFolder;
    const std::string orphan = plat::PackGuid(Guid(7, 0, 1));
    plat::SimRegistry::Batch batch(registry);
    for (long f = 0; f < folders; ++f) {
        const std::string key = std::string(plat::kInstallerUserDataKey) + "\\Components\\" +
                                plat::PackGuid(Guid(3, index, static_cast<unsigned long>(f + 1)));
        if (!registry.SetString(key, orphan, "C:\\Program Files\\Corvanta\\")) Fail("cannot write " + key);
    }
    if (!batch.Commit()) Fail("cannot commit the component clients");
}

void Install(plat::SimMachine& machine, const std::string& msi) {
    const std::string path = machine.Platform().ToWindowsPath(msi);
    const std::uint32_t result = machine.Platform().Installer().InstallPackage(path, {{"ALLUSERS", "1"}});
    if (result != 0 && result != 3010) Fail("install of " + msi + " failed with " + std::to_string(result));
}

void InstallTeam(plat::SimMachine& machine, const Params& p, const std::string& payload) {
    for (unsigned t = 0; t < sizeof kTeam / sizeof kTeam[0]; ++t) {
        Install(machine, BuildPackage(p.work, std::string("team_") + kTeam[t].folder,
                                      TeamSource(t + 1, kTeam[t], p.files, payload)));
        AddOrphanClients(machine.Registry(), t + 1, p.files);
    }
}

// SharedDLLs: counts of shared files, some of them below the vendor's folder
// (a few of those in a JRE folder, which the tool keeps).
void AddSharedDlls(plat::SimRegistry& registry, long total, long vendor) {
    std::vector<plat::SimRegValue> values;
    values.reserve(static_cast<std::size_t>(total));
    const long stride = vendor > 0 && total >= vendor ? total / vendor : 0;
    for (long i = 0; i < total; ++i) {
        plat::SimRegValue value;
        char name[200];
        if (stride > 0 && i % stride == 0 && i / stride < vendor) {
            const long v = i / stride;
            std::snprintf(name, sizeof name, "C:\\Program Files\\Corvanta\\%s\\shared\\lib%05ld.dll",
                          v % 50 == 0 ? "JRE" : "Common", v);
        } else {
            std::snprintf(name, sizeof name, "C:\\Program Files\\Other%03ld\\bin\\module%06ld.dll", i % 400,
                          i);
        }
        value.name = name;
        value.type = plat::kRegDword;
        const std::uint32_t count = 1 + static_cast<std::uint32_t>(i % 3);
        value.data.assign(reinterpret_cast<const char*>(&count), 4);
        values.push_back(value);
    }
    if (!registry.SetValues("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
                            values)) {
        Fail("cannot write the SharedDLLs values");
    }
}

// Vendor key trees: groups of 100 keys, two levels deep, spread over the
// vendor trees of HKLM, HKCU and HKU\.DEFAULT; one value per key.
void AddVendorKeys(plat::SimRegistry& registry, long total) {
    const char* const roots[] = {
        "HKEY_LOCAL_MACHINE\\Software\\Corvanta Software\\Bench",
        "HKEY_CURRENT_USER\\Software\\Corvanta Software\\Bench",
        "HKEY_LOCAL_MACHINE\\Software\\Tolvi\\Bench",
        "HKEY_USERS\\.DEFAULT\\Software\\Corvanta Software\\Bench",
    };
    plat::SimRegistry::Batch batch(registry);
    for (long i = 0; i < total; ++i) {
        const std::string key =
            std::string(roots[i % 4]) + "\\Group" + std::to_string(i / 400) + "\\Key" + std::to_string(i);
        if (!registry.SetString(key, "Setting", "value " + std::to_string(i))) Fail("cannot write " + key);
    }
    if (!batch.Commit()) Fail("cannot commit the vendor keys");
}

}  // namespace

int main(int argc, char** argv) {
    const Params p = Parse(argc, argv);
    if (std::system(("mkdir -p '" + p.work + "' '" + p.prefix + "'").c_str()) != 0)
        Fail("cannot create folders");
    const std::string payload = "payload.dat";
    if (!WriteText(p.work + "/" + payload, std::string(512, 'x'))) Fail("cannot write the payload");

    plat::SimMachine machine(p.prefix);
    std::string error;
    if (!machine.Init(&error)) Fail("winsim init failed: " + error);

    // Foreign products first and last, so that the suite sits in the middle
    // of the enumeration.
    for (long i = 0; i < p.foreign; ++i) {
        if (i == p.foreign / 2) {
            InstallTeam(machine, p, payload);
        }
        Install(machine, BuildPackage(p.work, "foreign" + std::to_string(i),
                                      ForeignSource(static_cast<unsigned>(i + 1), payload)));
    }
    if (p.foreign == 0) {
        InstallTeam(machine, p, payload);
    }
    AddSharedDlls(machine.Registry(), p.sharedDlls, p.vendorSharedDlls);
    AddVendorKeys(machine.Registry(), p.vendorKeys);
    std::printf(
        "machine %s: %ld foreign products, 11 Team products of %ld files, %ld SharedDLLs values (%ld of the "
        "vendor), %ld vendor keys\n",
        p.prefix.c_str(), p.foreign, p.files, p.sharedDlls, p.vendorSharedDlls, p.vendorKeys);
    return 0;
}
