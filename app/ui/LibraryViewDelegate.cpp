// The main controller as the library table's delegate and the library commands. Built with
// the library views.
#include "app/ui/projectViewController.h"

namespace m2 {

void projectViewController::addFiles(bool) {}

void projectViewController::addDroppedFiles(const std::vector<std::string>&) {}

void projectViewController::deleteFiles() {}

void projectViewController::selectAll() {}

void projectViewController::OpenSelectedFiles() {}

}  // namespace m2
