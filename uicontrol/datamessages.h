#pragma once
// Log texts of the data services for failures that would otherwise pass unseen.
namespace logging {
namespace msg {

// Followed by the time limit.
constexpr char kImportStopped[] = "the favourites import program was ended: it ran longer than ";
constexpr char kNoStoreNotifier[] =
    "the data store does not answer IDataAccessorNotifier; changes will not refresh the lists";

}  // namespace msg
}  // namespace logging
