#include "app/DeviceServices.h"

DeviceServices::DeviceServices(bool demo) : bridges_(device::transport::BridgeSet::Create(""))
{
    if (demo)
        demo_ = std::make_unique<sim::DemoRecorder>(&bridges_->xpress());
    link_ = std::make_unique<device::Link>(bridges_->hid(), demo_ ? demo_->xpress() : bridges_->xpress());
    step_ = std::make_unique<device::DeviceStep>(*link_, board_, env_);
}

DeviceServices::~DeviceServices()
{
    Stop();
}

void DeviceServices::Start(QObject* uiContext, MainWindowDeviceHooks hooks)
{
    controls_ = std::make_unique<MainDeviceControls>(board_, *link_, env_, std::move(hooks));
    monitor_ = std::make_unique<device::DeviceMonitor>(*link_);
    monitor_->start();  // without udev, only the start-up probe finds a recorder
    worker_ = std::make_unique<device::USBThread>(
        [this] {
            step_->Run();
            if (demo_)
                demo_->PlugInIfAbsent(*link_);
        },
        uiContext, board_.tickIntervalMs);
}

void DeviceServices::Stop()
{
    if (worker_)
        worker_->Stop();
}
