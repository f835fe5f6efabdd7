// Choosing a camera's event topics from what the device lists: pure
// functions over the device's GetEventProperties answer and the event
// configuration's ordered topic table (no I/O).
//
// A topic key is the device's topic, ";" and the data item that carries the
// state ("tns1:VideoSource/MotionAlarm;State"); the configuration gives such a
// key its rule (onvifservice.h, OnvifEvtConf).
#ifndef HOST_ONVIFTOPICS_H
#define HOST_ONVIFTOPICS_H

#include <string>
#include <vector>

#include "host/onvif/onvifsoap.h"
#include "interface/onvifservice.h"

// The data item of a listed topic that carries its state: the first of the
// row's items that the device declares, else the first item it declares as
// a boolean, else the first it declares, else the row's first (the device
// declared none).
std::string OnvifStateItem(const OnvifEvtConf::TopicRow& row, const OVF_TOPIC_DESC& topic);

// The key of the first row of `table` whose topic the device lists, with
// the item OnvifStateItem picks; empty when it lists none of them.
std::string ChooseOnvifTopicKey(const std::vector<OnvifEvtConf::TopicRow>& table,
                                const std::vector<OVF_TOPIC_DESC>& topics);

// True when the device lists the key's topic and declares the data items
// the key's rule reads (a topic declared without items passes).
bool IsOnvifKeyListed(const OnvifEvtConf& conf, const std::string& kindName, const std::string& key,
                      const std::vector<OVF_TOPIC_DESC>& topics);

// The listed keys a person giving `key` may have meant: those of the key's
// topic, else those of the kind's table rows, else every listed one; in the
// device's order.
std::vector<std::string> ListedKeysLike(const std::vector<OnvifEvtConf::TopicRow>& table, const std::string& key,
                                        const std::vector<OVF_TOPIC_DESC>& topics);

#endif  // HOST_ONVIFTOPICS_H
