#include "nodelist/NodelistLifetime.h"

#include <memory>

#include "core/Settings.h"
#include "nodelist/AddressBook.h"
#include "nodelist/NodeList.h"

namespace pelmar {

namespace {

std::unique_ptr<TAddressBook> book;
std::unique_ptr<TNodeList> nodeList;

}  // namespace

std::string DataFolderPath() {
    std::string folder = Settings.DataFolder.empty() ? Settings.ProgramFolder : Settings.DataFolder;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

void BindNodelistSteps(TStartup::TManagers& managers, std::function<void(const std::string&)> report) {
    managers.CreateAddressBook = [report] {
        book = std::make_unique<TAddressBook>(DataFolderPath());
        AddressBook = book.get();
        if (!book->Load() && report) report(book->LastError());
    };
    managers.StoreAddressBookAndRelease = [report] {
        if (book && !book->Save() && report) report(book->LastError());
        AddressBook = nullptr;
        book.reset();
    };
    // A damaged index is not worth a message: it counts as absent and the next check recompiles it.
    managers.CreateNodeList = [] {
        nodeList = std::make_unique<TNodeList>(DataFolderPath());
        nodeList->Open();
        NodeList = nodeList.get();
    };
    managers.ReleaseNodeList = [] {
        NodeList = nullptr;
        nodeList.reset();
    };
}

}  // namespace pelmar
