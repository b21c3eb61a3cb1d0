# Makes WORK a fresh copy of the sample installation at INSTALL for one test to run in. What runs
# there writes its logs and saves beside the game's files, and other tests copy the installation
# at the same time, so nothing may run in the shared one. The two client programs are left out:
# no test starts them from its copy, and they are most of the installation's size.
file(REMOVE_RECURSE ${WORK})
file(COPY ${INSTALL}/ DESTINATION ${WORK} REGEX "/game(\\.dll)?$" EXCLUDE)
