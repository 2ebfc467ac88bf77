# The layers of src/, bottom to top, and the folders each may include besides
# its own: the one table of allowed include edges. A folder's ui/ part has
# its folder's row, and only ui/ files include ui/ headers. The relay sees
# the protocol library's folders only.
set(NIMBREL_LAYERS platform base net reports community warnlink station graphics notify app)
set(NIMBREL_SEES_platform "")
set(NIMBREL_SEES_base platform)
set(NIMBREL_SEES_net platform base)
set(NIMBREL_SEES_reports platform base net)
set(NIMBREL_SEES_community platform base net)
set(NIMBREL_SEES_warnlink platform base net)
set(NIMBREL_SEES_station platform base net)
set(NIMBREL_SEES_graphics platform base net)
set(NIMBREL_SEES_notify platform base)
set(NIMBREL_SEES_app platform base net reports community warnlink station graphics notify)
set(NIMBREL_SEES_relay platform base net)
