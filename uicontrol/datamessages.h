#pragma once
// Log texts of the data services for failures that would otherwise pass unseen.
namespace logging {
namespace msg {

constexpr char kImportNotStarted[] = "the favourites import program could not be started";
constexpr char kNoStoreNotifier[] = "the data store does not answer IDataAccessorNotifier; changes will not refresh the lists";

}  // namespace msg
}  // namespace logging
