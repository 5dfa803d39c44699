// The simulated machine's Windows Installer: databases read with libmsi,
// installed products kept in the machine's registry, install and uninstall.
#pragma once

namespace plat {

class SimPlatform;

class SimInstaller {
public:
    explicit SimInstaller(SimPlatform& machine);
    ~SimInstaller();
    SimInstaller(const SimInstaller&) = delete;
    SimInstaller& operator=(const SimInstaller&) = delete;
};

}  // namespace plat
